#!/usr/bin/env bash
# `lumora-data check --jobs 32` on 400 loopback streams (a quarter TS, a
# quarter HLS, a quarter 404, a quarter that never answer) against the loop
# a curator would otherwise script: ffprobe once per stream, one after
# another, on the same list. Both get the same 5 s deadline per stream.
# Prints wall times, the ratio (target >= 10x) and peak memory (target
# < 300 MB).
#
# The ffprobe loop spends most of its time waiting on the silent streams,
# so by default it runs on a fixed sample (every 10th stream of each kind,
# so the same mix) and its time is scaled by 10; LUMORA_BENCH_FULL=1 runs it on all 400.
#   bench/probe/check_bench.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: check_bench.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/lumora-data"
[ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
command -v ffprobe >/dev/null || { echo "ffprobe is missing (Debian package ffmpeg)" >&2; exit 1; }

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

media="$work/media"
mkdir -p "$media/hls"
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440 \
  -t 12 -c:v libx264 -preset ultrafast -g 25 -b:v 1200k -maxrate 1200k -bufsize 600k -c:a aac -b:a 96k \
  -f mpegts "$media/stream.ts"
ffmpeg -nostdin -loglevel error -y -i "$media/stream.ts" -c copy -f hls -hls_time 2 -hls_list_size 0 \
  "$media/hls/index.m3u8"

python3 "$here/../../tests/probe/probe_server.py" "$media" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/port")
[ -n "$port" ] || { echo "the loopback server did not start" >&2; exit 1; }

python3 - "$tool" "$work" "$port" "${LUMORA_BENCH_FULL:-0}" "$here/.." <<'PY'
import os, resource, subprocess, sys, time
tool, work, port, full = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1"
sys.path.insert(0, sys.argv[5])
import bench_results
base = f"http://127.0.0.1:{port}"
timeout_s = 5
kinds = [("ts", "/stream.ts?n={}"), ("hls", "/hls/index.m3u8?n={}"), ("404", "/missing-{}.ts"), ("silent", "/silent/{}")]
streams = [(kinds[i % 4][0], base + kinds[i % 4][1].format(i)) for i in range(400)]

playlist = os.path.join(work, "bench.m3u")
with open(playlist, "w") as f:
    f.write("#EXTM3U\n")
    for i, (kind, url) in enumerate(streams):
        f.write(f'#EXTINF:-1 tvg-id="Bench{i:03d}.us",Bench {i} {kind}\n{url}\n')
catalogue = os.path.join(work, "in.lmch")
subprocess.run([tool, "import-m3u", "--version", "1.0.0.1", catalogue, playlist], check=True,
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def peak_kb_of(command):
    """Runs a command in a child of its own; returns (seconds, exit code, peak RSS in kB)."""
    reader, writer = os.pipe()
    start = time.monotonic()
    pid = os.fork()
    if pid == 0:
        os.close(reader)
        child = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.write(writer, str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss).encode())
        os._exit(child.returncode & 0xFF)
    os.close(writer)
    peak = int(os.read(reader, 64) or b"0")
    _, status = os.waitpid(pid, 0)
    return time.monotonic() - start, os.waitstatus_to_exitcode(status), peak

out = os.path.join(work, "out.lmch")
report = os.path.join(work, "report.csv")
check_s, code, check_kb = peak_kb_of([tool, "check", catalogue, out, "--report", report,
                                      "--jobs", "32", "--timeout", str(timeout_s)])
if code != 0:
    sys.exit(f"lumora-data check failed with {code}")
working = sum(1 for line in open(report) if ",working," in line)

# Every 10th stream of each kind: 10 TS, 10 HLS, 10 404 and 10 silent.
sample = streams if full else [s for i, s in enumerate(streams) if (i // 4) % 10 == 0]
ffprobe_s, ffprobe_kb, ffprobe_ok = 0.0, 0, 0
per_kind = {}
for kind, url in sample:
    seconds, code, kb = peak_kb_of(["ffprobe", "-v", "error", "-rw_timeout", str(timeout_s * 1_000_000),
                                    "-show_format", "-show_streams", url])
    ffprobe_s += seconds
    per_kind.setdefault(kind, []).append(seconds)
    ffprobe_kb = max(ffprobe_kb, kb)
    ffprobe_ok += code == 0
scale = len(streams) / len(sample)
ffprobe_total = ffprobe_s * scale

sys.stdout.flush()
print(f"400 loopback streams (100 TS, 100 HLS, 100 HTTP 404, 100 silent), {timeout_s} s deadline each")
print(f"  lumora-data check --jobs 32   {check_s:7.1f} s   {working} working   peak RSS {check_kb / 1024:6.1f} MB")
how = "all 400" if full else f"{len(sample)} of 400 ({ffprobe_s:.1f} s) x {scale:.0f}"
print(f"  ffprobe one after another     {ffprobe_total:7.1f} s   {int(ffprobe_ok * scale)} working   "
      f"peak RSS {ffprobe_kb / 1024:6.1f} MB per probe   [{how}]")
print("  ffprobe per stream: " + ", ".join(f"{kind} {sum(t) / len(t):.2f} s" for kind, t in per_kind.items()))
ratio = ffprobe_total / check_s
print(f"  check is {ratio:.1f}x faster (target >= 10x); peak memory {check_kb / 1024:.0f} MB (target < 300 MB)")
# At least 10x faster: at most a tenth of the loop's time.
bench_results.record_ratio("stream check, 400 loopback streams, vs ffprobe one after another", check_s,
                           ffprobe_total, "s", 0.1)
bench_results.record_at_most("stream check, 400 loopback streams, peak memory", check_kb / 1024, "MB", 300)
PY
