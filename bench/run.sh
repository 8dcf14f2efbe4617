#!/usr/bin/env bash
# Runs every benchmark of a build: each executable named *_bench under
# BUILD_DIR/bench/, then each bench/<area>/*.sh script with BUILD_DIR as its
# argument. Every one runs even when an earlier one fails; the exit status
# is 1 when any failed.
#   bench/run.sh BUILD_DIR
set -uo pipefail
build=$(realpath "${1:?usage: bench/run.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
[ -d "$build/bench" ] || { echo "no benchmarks in $build/bench: build the project first" >&2; exit 1; }

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

if [ ${#failed[@]} -ne 0 ]; then
  echo "benchmarks that failed: ${failed[*]}" >&2
  exit 1
fi
echo "all benchmarks ran"
