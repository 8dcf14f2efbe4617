#!/usr/bin/env bash
# The programs' command lines without any display: lumora --help, --version
# (with the catalogue's version), an unknown option refused with 2;
# lumora-data --help naming every verb it knows.
#
# Usage: command_line_test.sh BUILD_DIR
set -u
build=$(cd "${1:?usage: command_line_test.sh BUILD_DIR}" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

"$build/lumora" --help >"$work/out" 2>"$work/err" || fail "--help exited with $?"
grep -q '^usage: lumora' "$work/out" || fail "--help printed: $(cat "$work/out")"
[ -s "$work/err" ] && fail "--help wrote to stderr: $(cat "$work/err")"

"$build/lumora" --version >"$work/out" || fail "--version exited with $?"
grep -qx 'lumora 2\.0\.1' "$work/out" || fail "--version printed: $(cat "$work/out")"
version=$("$build/lumora-data" dump "$build/Channels.lmch" | python3 -c 'import json,sys; print(json.load(sys.stdin)["name"])')
grep -q "^catalogue $version " "$work/out" || fail "no catalogue version $version in: $(cat "$work/out")"

for wrong in --nonsense -z "http://a/1 http://a/2"; do
    # shellcheck disable=SC2086
    "$build/lumora" $wrong >/dev/null 2>"$work/err"
    code=$?
    [ "$code" = 2 ] || fail "lumora $wrong exited with $code, expected 2"
    grep -q '^usage: lumora' "$work/err" || fail "lumora $wrong gave no usage"
done

"$build/lumora-data" --help >"$work/out" 2>"$work/err" || fail "lumora-data --help exited with $?"
verbs=$(sed -n 's/^  lumora-data \([a-z][a-z0-9-]*\).*/\1/p' "$work/out")
[ "$(echo "$verbs" | grep -c .)" -ge 8 ] || fail "lumora-data --help lists: $verbs"
for verb in $verbs; do
    "$build/lumora-data" "$verb" >/dev/null 2>"$work/err"
    grep -q "unknown verb" "$work/err" && fail "listed verb $verb is unknown"
done
# Every verb the program accepts is listed: the no-argument usage is the same list.
"$build/lumora-data" 2>"$work/usage" >/dev/null
diff "$work/out" "$work/usage" >/dev/null || fail "lumora-data --help and its usage differ"
echo "PASS: lumora --help/--version/unknown options, lumora-data --help ($(echo $verbs | wc -w) verbs)"
