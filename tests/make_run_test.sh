#!/usr/bin/env bash
# `make run` with a stand-in for the player that ends with a chosen exit
# code: a normal quit (1) and a cancelled first-run dialog (0) end the target
# quietly; any other code, a crash among them, fails it. The build chain is
# kept out with `make -o build`, so nothing is configured or compiled.
#
# Usage: make_run_test.sh SOURCE_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no make).
set -u
source_dir=$(cd "${1:?usage: make_run_test.sh SOURCE_DIR}" && pwd)
command -v make >/dev/null 2>&1 || { echo "SKIP: make is not installed"; exit 77; }
# Flags of a make that runs this test (make test) are not the inner make's.
unset MAKEFLAGS MFLAGS MAKELEVEL

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/lumora" <<'PLAYER'
#!/bin/sh
[ "$FAKE_PLAYER_END" = crash ] && kill -ABRT $$
exit "$FAKE_PLAYER_END"
PLAYER
chmod +x "$work/lumora"

failed=0
for row in "0 pass" "1 pass" "2 fail" "3 fail" "crash fail"; do
    set -- $row
    FAKE_PLAYER_END=$1 make -s -C "$source_dir" -o build run BUILD="$work" >"$work/log" 2>&1
    status=$?
    if [ "$2" = pass ] && [ $status -ne 0 ]; then
        echo "FAIL: the player ending with $1 failed make run: $(cat "$work/log")" >&2
        failed=1
    elif [ "$2" = fail ] && [ $status -eq 0 ]; then
        echo "FAIL: the player ending with $1 passed make run" >&2
        failed=1
    fi
done
[ $failed -eq 0 ] && echo "PASS: make run takes 0 and 1 as normal ends, other ends as failures"
exit $failed
