#!/usr/bin/env bash
# `lumora-data record` of a paced 4 Mbit/s loopback stream for 20 s: the
# share of one core it takes (target < 5 %), the memory it adds beside the
# player (target <= 32 MB: its peak anonymous memory, as the libraries it
# maps are the player's already; its whole peak RSS is printed too), how far the file's duration is from the time recorded and how
# far the recording's end is from the time it was told (targets <= 2 s).
#   bench/record/record_bench.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: record_bench.sh BUILD_DIR}")
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

mkdir -p "$work/media"
ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440 \
  -t 40 -c:v libx264 -preset ultrafast -g 50 -b:v 3800k -minrate 3800k -maxrate 3800k -bufsize 2000k \
  -x264-params nal-hrd=cbr -c:a aac -b:a 128k -f mpegts "$work/media/stream.ts"
pace=$(( $(stat -c %s "$work/media/stream.ts") / 40 ))

python3 "$here/../../tests/player/stream_server.py" --root "$work/media" --pace "$pace" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/port")
[ -n "$port" ] || { echo "the loopback server did not start" >&2; exit 1; }
printf '#EXTM3U\n#EXTINF:-1,Bench\nhttp://127.0.0.1:%s/stream.ts\n' "$port" > "$work/bench.m3u"
"$tool" import-m3u --version 1.0.0.1 "$work/bench.lmch" "$work/bench.m3u" >/dev/null 2>&1

python3 - "$tool" "$work" "$pace" "$here/.." <<'PY'
import datetime, os, resource, subprocess, sys, time
tool, work, pace = sys.argv[1], sys.argv[2], int(sys.argv[3])
sys.path.insert(0, sys.argv[4])
import bench_results
seconds = 20
until = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0) + datetime.timedelta(seconds=seconds + 1)
out = os.path.join(work, "out.ts")

def anonymous_mb(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as rollup:
            for line in rollup:
                if line.startswith("Anonymous:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0

start = time.time()
child = subprocess.Popen([tool, "record", os.path.join(work, "bench.lmch"), "int_Bench", "--until",
                          until.strftime("%Y-%m-%dT%H:%M:%SZ"), out], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
anonymous_peak = 0.0
while child.poll() is None:
    anonymous_peak = max(anonymous_peak, anonymous_mb(child.pid))
    time.sleep(0.2)
end = time.time()
if child.returncode != 0:
    sys.exit("lumora-data record failed: " + child.stderr.read())
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = usage.ru_utime + usage.ru_stime
wall = end - start
core_share = 100 * cpu / wall
peak_mb = usage.ru_maxrss / 1024
probed = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", out],
                        capture_output=True, text=True).stdout.strip()
duration = float(probed) if probed else 0.0
recorded = until.timestamp() - start
end_off = abs(end - until.timestamp())
print(f"lumora-data record, {pace * 8 / 1e6:.1f} Mbit/s loopback stream, {wall:.1f} s")
print(f"  CPU {cpu:.2f} s = {core_share:.1f} % of one core (target < 5 %); anonymous memory {anonymous_peak:.1f} MB "
      f"(target <= 32 MB), peak RSS with the libraries {peak_mb:.1f} MB")
print(f"  file {duration:.2f} s for {recorded:.2f} s recorded; ended {end_off:.2f} s from its time")
bench_results.record_at_most("recording a 4 Mbit/s stream, share of one core", core_share, "%", 5)
bench_results.record_at_most("recording a 4 Mbit/s stream, memory beside the player", anonymous_peak, "MB", 32)
bench_results.record_at_most("recording, file duration off the time recorded", abs(duration - recorded), "s", 2)
bench_results.record_at_most("recording, end off its time", end_off, "s", 2)
PY
