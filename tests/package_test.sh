#!/usr/bin/env bash
# The Debian package: made with CPack from the build, unpacked into a
# throw-away root with dpkg -x; its metainfo passes appstreamcli, its menu
# entry passes desktop-file-validate, its man pages format, its dependencies
# name the linked libraries, no file in it refers to the build tree, and the
# installed program, started offscreen, finds the data files of that root.
#
# Usage: package_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (cpack or dpkg missing).
set -u
build=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
for tool in cpack dpkg-deb appstreamcli desktop-file-validate man python3; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/lumora_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no package made: $(cat "$work/cpack.log")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libmpv libcurl; do
    echo "$depends" | grep -q "$library" || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x failed"
for file in usr/bin/lumora usr/bin/lumora-data usr/share/lumora/Languages.lngp \
    usr/share/lumora/Resources.velt usr/share/lumora/cbuild.velt usr/share/lumora/Channels.lmch \
    usr/share/applications/lumora.desktop usr/share/icons/hicolor/scalable/apps/lumora.svg \
    usr/share/metainfo/org.lumora.Lumora.metainfo.xml usr/share/man/man1/lumora.1 \
    usr/share/man/man1/lumora-data.1; do
    [ -e "$root/$file" ] || fail "the package lacks /$file"
done
appstreamcli validate --no-net "$root/usr/share/metainfo/org.lumora.Lumora.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "metainfo does not validate: $(cat "$work/as.log")"
# Warnings are printed but pass; what the distribution rejects is an error.
desktop-file-validate "$root/usr/share/applications/lumora.desktop" >"$work/desktop.log" 2>&1 ||
    fail "the menu entry does not validate: $(cat "$work/desktop.log")"
for page in lumora lumora-data; do
    MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1" 2>"$work/man.err" | grep -q "^NAME" ||
        fail "man page $page does not format: $(cat "$work/man.err")"
done
grep -rlF "$build" "$root" >"$work/leaks" && fail "files refer to the build tree: $(cat "$work/leaks")"

# The installed programs, with the build tree out of the way.
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_DATA_HOME/lumora" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
"$root/usr/bin/lumora" --version >"$work/version" || fail "installed lumora --version failed"
grep -q "^catalogue .* ($root/usr/share/lumora/Channels.lmch)" "$work/version" ||
    fail "the installed program does not find its catalogue: $(cat "$work/version")"
"$root/usr/bin/lumora-data" --help >/dev/null || fail "installed lumora-data --help failed"

cat >"$work/settings.json" <<'JSON'
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": false},
  {"name": "AutoCU", "type": "Bool", "value": false},
  {"name": "Language", "type": "WString", "value": "de"}]}]}
JSON
"$root/usr/bin/lumora-data" build "$work/settings.json" "$XDG_DATA_HOME/lumora/Settings.cfg" || fail "cannot write settings"
QT_QPA_PLATFORM=offscreen LUMORA_MPV_AO=null "$root/usr/bin/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
# The first start copies the shipped catalogue of that root into the user folder.
for ((i = 0; i < 100; i++)); do
    cmp -s "$root/usr/share/lumora/Channels.lmch" "$XDG_DATA_HOME/lumora/Channels.lmch" && break
    sleep 0.1
done
cmp -s "$root/usr/share/lumora/Channels.lmch" "$XDG_DATA_HOME/lumora/Channels.lmch" ||
    fail "the installed program did not find its catalogue; log: $(cat "$work/lumora.log")"
kill -0 "$program_pid" 2>/dev/null || fail "the installed program ended early: $(cat "$work/lumora.log")"
kill "$program_pid"
wait "$program_pid" 2>/dev/null
program_pid=
echo "PASS: $(basename "$deb") installs, validates and runs from its own root (Depends: $depends)"
