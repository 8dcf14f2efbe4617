#!/usr/bin/env bash
# Pause, rewind and catch-up on loopback streams made by ffmpeg:
# - a programme from the archive (a recording served whole) to its first
#   picture, at most 2 s;
# - a 4 Mbit/s live stream (a file sent at its own rate) played with a back
#   buffer of 30 minutes and without one for the same time: the buffer's
#   bytes on disk at most its stream's own bytes plus 10%, the memory above
#   plain playing, scaled to 30 minutes, at most 150 MB, and a 30 s rewind
#   inside the buffer to its picture within 1 s.
#   bench/player/timeshift_bench.sh BUILD_DIR
# LUMORA_BENCH_TIMESHIFT_SECONDS sets how long the live stream plays (45).
set -euo pipefail
build=$(realpath "${1:?usage: timeshift_bench.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
server_script="$here/../../tests/player/stream_server.py"
probe="$build/bench/player/timeshift_probe"
[ -x "$probe" ] || { echo "missing $probe: build the bench targets first" >&2; exit 1; }
seconds=${LUMORA_BENCH_TIMESHIFT_SECONDS:-45}

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

length=$((seconds + 30))
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -f lavfi -i sine=frequency=440 \
  -t "$length" -c:v libx264 -preset ultrafast -b:v 3900k -minrate 3900k -maxrate 3900k \
  -bufsize 2000k -g 50 -c:a aac -b:a 96k -muxrate 4000k -f mpegts "$work/live.ts"
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=frequency=440 \
  -t 60 -c:v libx264 -preset ultrafast -g 50 -c:a aac -f mpegts "$work/archive.ts"
pace=$(( $(stat -c %s "$work/live.ts") / length ))

serve() {  # NAME [ARGS...]: starts a server, sets ${NAME}_port
  local name=$1; shift
  python3 "$server_script" --root "$work" "$@" > "$work/$name.port" &
  pids+=($!)
  for _ in $(seq 50); do grep -q PORT "$work/$name.port" 2>/dev/null && break; sleep 0.1; done
  printf -v "${name}_port" '%s' "$(awk '/PORT/ {print $2}' "$work/$name.port")"
}
serve paced --pace "$pace"
serve whole
export LUMORA_MPV_AO=null QT_QPA_PLATFORM=offscreen

archive="http://127.0.0.1:$whole_port/archive.ts?utc=1710100800&lutc=1710109800"
for round in 1 2 3; do
  "$probe" catchup "$archive" >> "$work/catchup.txt"
done
mkdir -p "$work/buffer"
"$probe" buffer "http://127.0.0.1:$paced_port/live.ts" "$seconds" 1800 "$work/buffer" > "$work/timeshift.txt"
"$probe" buffer "http://127.0.0.1:$paced_port/live.ts" "$seconds" 0 "$work/buffer" > "$work/plain.txt"

python3 - "$work" "$pace" "$here/.." <<'PY'
import statistics, sys
work, pace = sys.argv[1], int(sys.argv[2])
sys.path.insert(0, sys.argv[3])
import bench_results
def values(name, key):
    return [float(line.split()[1]) for line in open(f"{work}/{name}.txt") if line.startswith(key + " ")]
catchup = statistics.median(values("catchup", "catchup_first_picture_ms"))
rewind = statistics.median(values("timeshift", "rewind_ms"))
elapsed = values("timeshift", "elapsed_s")[0]
on_disk = values("timeshift", "buffer_bytes")[0]
stream_bytes = pace * elapsed
extra_mb = (values("timeshift", "peak_rss_kb")[0] - values("plain", "peak_rss_kb")[0]) / 1024
scaled_mb = max(0.0, extra_mb) * 1800 / elapsed
print(f"catch-up first picture {catchup:.0f} ms; rewind {rewind:.0f} ms; "
      f"{elapsed:.0f} s at {pace * 8 / 1e6:.1f} Mbit/s: {on_disk / 1e6:.1f} MB on disk for "
      f"{stream_bytes / 1e6:.1f} MB of stream; {extra_mb:.1f} MB more memory ({scaled_mb:.0f} MB at 30 min)")
bench_results.record_at_most("catch-up programme to its first picture", catchup, "ms", 2000)
bench_results.record_at_most("30 s rewind inside the buffer to its picture", rewind, "ms", 1000)
bench_results.record_ratio("timeshift buffer on disk vs the stream's bytes", on_disk / 1e6,
                           stream_bytes / 1e6, "MB", 1.10)
bench_results.record_at_most("timeshift memory above plain playing, 30 min (scaled)", scaled_mb,
                             "MB", 150)
PY
