#!/usr/bin/env bash
# A provider account of 50,000 live streams (the tests' loopback provider)
# turned into a catalogue by lumora-data import-account, as the program's
# update does: the whole run, wall time, median of three; at most 2 s.
#   bench/playlist/account_bench.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: account_bench.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/lumora-data"
[ -x "$tool" ] || { echo "missing $tool" >&2; exit 1; }
work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/../../tests/net/provider_server.py" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/port")
for round in 1 2 3; do
  start=$(date +%s.%N)
  echo pw | "$tool" import-account "http://127.0.0.1:$port" many "$work/account.lmch" > "$work/report"
  end=$(date +%s.%N)
  echo "$start $end" >> "$work/times"
done
grep -q "channels: 50000" "$work/report" || { cat "$work/report" >&2; exit 1; }
python3 - "$work/times" "$here/.." <<'PY'
import statistics, sys
sys.path.insert(0, sys.argv[2])
import bench_results
times = [float(end) - float(start) for start, end in (line.split() for line in open(sys.argv[1]))]
ms = statistics.median(times) * 1000
print(f"account of 50,000 streams to a catalogue: {ms:.0f} ms (runs: {', '.join(f'{t * 1000:.0f}' for t in times)})")
bench_results.record_at_most("provider account of 50,000 streams to a catalogue", ms, "ms", 2000)
PY
