#!/usr/bin/env bash
# Runs every benchmark of a build: each executable named *_bench under
# BUILD_DIR/bench/, then each bench/<area>/*.sh script with BUILD_DIR as its
# argument, and ends with one table of every target: what, ours, peer,
# ratio, target, verdict. Each benchmark appends its rows to the file named
# by LUMORA_BENCH_RESULTS (bench/bench_results.h, bench/bench_results.py).
# Every one runs even when an earlier one fails; a missed target is a row
# of the table, not a failure. The exit status is 1 only when a benchmark
# could not run.
#   bench/run.sh BUILD_DIR
set -uo pipefail
build=$(realpath "${1:?usage: bench/run.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/bench" ] || { echo "no benchmarks in $build/bench: build the project first" >&2; exit 1; }

export LUMORA_BENCH_RESULTS="$build/bench-results.tsv"
: > "$LUMORA_BENCH_RESULTS"

failed=()
# run LABEL COMMAND...
run() {
  local label=$1
  shift
  echo "=== $label"
  "$@" || failed+=("$label")
}

while IFS= read -r program; do
  run "${program#"$build"/}" "$program"
done < <(find "$build/bench" -type f -name '*_bench' -perm -u+x | sort)

for script in "$here"/*/*.sh; do
  [ -e "$script" ] || continue
  run "${script#"$here"/}" bash "$script" "$build"
done

echo
echo "=== targets (results in ${LUMORA_BENCH_RESULTS#"$build"/})"
python3 "$here/bench_results.py" "$LUMORA_BENCH_RESULTS"
if [ ${#failed[@]} -ne 0 ]; then
  echo "benchmarks that failed to run: ${failed[*]}" >&2
  exit 1
fi
echo "all benchmarks ran"
