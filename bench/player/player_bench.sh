#!/usr/bin/env bash
# Zap time (Play() to first rendered frame) and peak memory of the player
# against a bare libmpv program with the same options, on loopback TS and
# HLS streams made by ffmpeg, in one run. Prints the ratios.
#   bench/player/player_bench.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: player_bench.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
server_script="$here/../../tests/player/stream_server.py"
player="$build/bench/player/player_zap_probe"
bare="$build/bench/player/bare_mpv_probe"
for program in "$player" "$bare"; do
  [ -x "$program" ] || { echo "missing $program: build the bench targets first" >&2; exit 1; }
done

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

sources=(-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 12
         -c:v libx264 -preset ultrafast -g 25 -c:a aac)
ffmpeg -loglevel error -y "${sources[@]}" -f mpegts "$work/stream.ts"
mkdir -p "$work/hls"
ffmpeg -loglevel error -y "${sources[@]}" -f hls -hls_time 2 -hls_list_size 0 "$work/hls/index.m3u8"

python3 "$server_script" --root "$work" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/port")
export LUMORA_BENCH_TS="http://127.0.0.1:$port/stream.ts"
export LUMORA_BENCH_HLS="http://127.0.0.1:$port/hls/index.m3u8"
export LUMORA_MPV_AO=null QT_QPA_PLATFORM=offscreen

# Rounds interleaved, so both programs see the same machine load; each
# round reports 3 repetitions of 5 zaps, and the medians are compared.
rounds=${LUMORA_BENCH_ROUNDS:-3}
for round in $(seq "$rounds"); do
  "$bare" --benchmark_format=json --benchmark_repetitions=3 > "$work/bare-$round.json"
  "$player" --benchmark_format=json --benchmark_repetitions=3 > "$work/player-$round.json"
done
bare_rss=$("$bare" rss 10 "$LUMORA_BENCH_TS" | awk '/peak_rss_kb/ {print $2}')
player_rss=$("$player" rss 10 "$LUMORA_BENCH_TS" | awk '/peak_rss_kb/ {print $2}')

python3 - "$work" "$rounds" "$bare_rss" "$player_rss" "$here/.." <<'PY'
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
sys.path.insert(0, sys.argv[5])
import bench_results
def times(program):
    runs, painted = {}, {}
    for round in range(1, rounds + 1):
        for b in json.load(open(f"{work}/{program}-{round}.json"))["benchmarks"]:
            if b.get("error_occurred"):
                sys.exit(f"{b['name']}: {b.get('error_message')}")
            if b.get("run_type") == "iteration":
                name = b["name"].split("/")[0]
                runs.setdefault(name, []).append(b["real_time"])
                if "painted_ms" in b:
                    painted.setdefault(name, []).append(b["painted_ms"])
    median = lambda table: {name: statistics.median(values) for name, values in table.items()}
    return median(runs), median(painted)
(bare, _), (player, player_painted) = times("bare"), times("player")
bare_rss, player_rss = int(sys.argv[3]), int(sys.argv[4])
print(f"zap time, Stop() + Play() to the new stream's first rendered frame, median of {rounds * 3} x 5 zaps")
print(f"{'stream':8} {'bare ms':>9} {'player ms':>10} {'overhead':>9}   player to first paint")
for kind in ("Ts", "Hls"):
    b, p = bare[f"BM_BareZap{kind}"], player[f"BM_PlayerZap{kind}"]
    shown = player_painted[f"BM_PlayerZap{kind}"]
    print(f"{kind.upper():8} {b:9.1f} {p:10.1f} {100 * (p / b - 1):8.1f}%   {shown:6.1f} ms")
ratio = player_rss / bare_rss
print(f"peak RSS playing TS 10 s: bare {bare_rss / 1024:.1f} MB, player {player_rss / 1024:.1f} MB,"
      f" ratio {ratio:.2f}x")
# A play click stops the old stream and plays the new one, as the zap does;
# ours counts to the picture painted on screen, mpv's to the frame rendered.
for kind in ("Ts", "Hls"):
    bench_results.record_ratio(f"play click to first picture ({kind.upper()}) vs mpv loadfile to first picture",
                               player_painted[f"BM_PlayerZap{kind}"], bare[f"BM_BareZap{kind}"], "ms", 1.0)
bench_results.record_ratio("memory playing a TS stream (peak RSS) vs bare libmpv", player_rss / 1024,
                           bare_rss / 1024, "MB", 1.5)
PY
