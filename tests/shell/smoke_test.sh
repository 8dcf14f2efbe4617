#!/usr/bin/env bash
# The program in a real X window: a first start with fresh user folders,
# the first-run dialog confirmed by keys, the channel list opened with F1
# (the keyboard is in the main window without anyone giving it there),
# the test card chosen by typing its name and played with Enter, its moving
# picture seen in two grabs of the screen, Ctrl+Q, the exit code and the
# settings written at exit.
#
# Usage: smoke_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server could be started).

set -u
build=$(cd "${1:?usage: smoke_test.sh BUILD_DIR}" && pwd)
# shellcheck source=../support/private_x_server.sh
. "$(dirname "$0")/../support/private_x_server.sh"
run_in_private_x_server 1024x768 "$0" "$build"

# From here on DISPLAY is the private server.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in xdotool ffmpeg python3; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (tools/install-deps.sh)"
done
[ -x "$build/lumora" ] || fail "no program at $build/lumora"
[ -x "$build/lumora-data" ] || fail "no lumora-data at $build/lumora-data"

work=$(mktemp -d)
program_pid=
cleanup() {
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null
        wait "$program_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
# The first start, but with a channel source on this machine where nothing
# listens (port 9), so the update check at start stays off the network.
mkdir -p "$XDG_DATA_HOME/lumora"
cat > "$work/seed.json" <<'JSON'
{"name": "set", "children": [
  {"name": "options", "attributes": [
    {"name": "update_server", "type": "WString", "value": "http://127.0.0.1:9"}]}]}
JSON
"$build/lumora-data" build "$work/seed.json" "$XDG_DATA_HOME/lumora/Settings.cfg" >/dev/null \
    || fail "could not seed Settings.cfg"
chmod 700 "$XDG_RUNTIME_DIR"
export LUMORA_MPV_AO=null
unset QT_QPA_PLATFORM
shots="$build/screenshots"
mkdir -p "$shots"

# Waits until a visible window of exactly that title exists and prints the
# last one found.
wait_window() {
    local title=$1 tries=${2:-100} ids
    for ((i = 0; i < tries; i++)); do
        ids=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null)
        if [ -n "$ids" ]; then
            echo "$ids" | tail -n 1
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Gives the window the keyboard focus (there is no window manager) and
# sends it keys.
keys_to() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 0.2
    xdotool "$@"
}

"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!

# 1. The first-run dialog, confirmed with its left soft key.
welcome=$(wait_window "Welcome" 150) || fail "no first-run dialog; log: $(cat "$work/lumora.log")"
keys_to "$welcome" key F1

# 2. The main window (the splash has the same title and leaves at the
#    first tick): the widest window of that title once only one is left.
main=
for ((i = 0; i < 100; i++)); do
    ids=$(xdotool search --onlyvisible --name '^Lumora$' 2>/dev/null)
    if [ "$(echo "$ids" | grep -c .)" = 1 ]; then
        eval "$(xdotool getwindowgeometry --shell "$ids")"
        if [ "$HEIGHT" -gt 400 ]; then
            main=$ids
            break
        fi
    fi
    sleep 0.1
done
[ -n "$main" ] || fail "no main window; log: $(cat "$work/lumora.log")"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended early"

# 3. The channel list: F1, type the test card's name, Enter. Nobody gives
#    the main window the keyboard: after the first-run dialog it has it.
xdotool key F1
list=$(wait_window "Channels" 100) || fail "F1 opened no channel list"
keys_to "$list" type --delay 60 "Lumora Test Card"
sleep 0.3
xdotool key Return
for ((i = 0; i < 50; i++)); do
    xdotool search --onlyvisible --name '^Channels$' >/dev/null 2>&1 || break
    sleep 0.1
done

# 4. The moving picture: two grabs of the middle of the player differ.
sleep 3
eval "$(xdotool getwindowgeometry --shell "$main")"
grab_w=$((WIDTH * 6 / 10))
grab_h=$((HEIGHT * 2 / 10))
grab_x=$((X + WIDTH * 2 / 10))
grab_y=$((Y + HEIGHT * 4 / 10))
grab() {
    ffmpeg -loglevel error -y -f x11grab -video_size "${grab_w}x${grab_h}" \
        -i "${DISPLAY}+${grab_x},${grab_y}" -frames:v 1 "$1"
}
grab "$shots/smoke_player_1.png" || fail "could not grab the screen"
sleep 1
grab "$shots/smoke_player_2.png" || fail "could not grab the screen"
ffmpeg -loglevel error -y -f x11grab -video_size "${WIDTH}x${HEIGHT}" -i "${DISPLAY}+${X},${Y}" \
    -frames:v 1 "$shots/smoke_main_window.png"
python3 - "$shots/smoke_player_1.png" "$shots/smoke_player_2.png" <<'EOF' || fail "no moving picture in the player"
import subprocess, sys
def pixels(path):
    return subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
a, b = pixels(sys.argv[1]), pixels(sys.argv[2])
colours = len({a[i:i + 3] for i in range(0, len(a), 3)})
changed = sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3])
print(f"player area: {colours} colours, {changed} of {len(a) // 3} pixels changed in 1 s")
sys.exit(0 if colours > 8 and changed > 50 else 1)
EOF

# 5. Ctrl+Q ends the program with 1.
keys_to "$main" key ctrl+q
for ((i = 0; i < 100; i++)); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "Ctrl+Q did not end the program"
wait "$program_pid"
code=$?
program_pid=
[ "$code" = 1 ] || fail "exit code $code, expected 1; log: $(cat "$work/lumora.log")"

# 6. The settings written at exit.
settings="$XDG_DATA_HOME/lumora/Settings.cfg"
[ -f "$settings" ] || fail "no $settings"
cp "$settings" "$build/smoke_Settings.cfg"
"$build/lumora-data" dump "$settings" >"$work/settings.json" || fail "Settings.cfg does not read back (kept as $build/smoke_Settings.cfg)"
python3 - "$work/settings.json" <<'EOF' || fail "wrong settings: $(cat "$work/settings.json")"
import json, sys
def attributes(node):
    # Every attribute of the tree, by name, whatever the dump's layout.
    found = {}
    def walk(value):
        if isinstance(value, dict):
            name = value.get("name")
            if isinstance(name, str) and "value" in value:
                found[name] = value["value"]
            for key, item in value.items():
                if isinstance(item, (dict, list)):
                    walk(item)
                elif key not in ("name", "type", "value"):
                    found.setdefault(key, item)
        elif isinstance(value, list):
            for item in value:
                walk(item)
    walk(node)
    return found
settings = attributes(json.load(open(sys.argv[1])))
print("cur_channel =", settings.get("cur_channel"), "/ first_run =", settings.get("first_run"))
ok = settings.get("cur_channel") == "int_TestCard" and settings.get("first_run") in (False, 0, "false")
sys.exit(0 if ok else 1)
EOF
echo "PASS: first run, channel list, test card playing, Ctrl+Q (exit 1), settings saved"
