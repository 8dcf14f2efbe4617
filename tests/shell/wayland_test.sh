#!/usr/bin/env bash
# The program under a Wayland compositor (weston's headless backend, an
# 800x600 screen): the main window fits on the screen, the idle player area
# is black, the test card played through MPRIS moves, full screen covers the
# screen and leaving it puts the player back in its frame, and Quit ends
# the program with 1. Pictures come from weston-screenshooter.
#
# Usage: wayland_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (weston, its screenshooter,
# Qt's Wayland plugin or the session bus tools are missing).
set -u
build=$(cd "${1:?usage: wayland_test.sh BUILD_DIR}" && pwd)
for tool in weston weston-screenshooter dbus-daemon gdbus python3 ffmpeg; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
    { echo "SKIP: Qt's Wayland platform plugin (qt6-wayland) is not installed"; exit 77; }

# shellcheck source=../support/scratch_session.sh
. "$(dirname "$0")/../support/scratch_session.sh"
weston_pid=
bus_pid=
program_pid=
scratch_pid_names="program_pid bus_pid weston_pid"
start_scratch_session
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
shots="$build/screenshots"
mkdir -p "$shots"

# The compositor: no panel, so the whole screen is the available area.
cat >"$work/weston.ini" <<'INI'
[core]
idle-time=0
[shell]
panel-position=none
background-color=0xff4080c0
INI
export WAYLAND_DISPLAY=lumora-test
weston --backend=headless-backend.so --use-pixman --width=800 --height=600 --debug \
    --socket="$WAYLAND_DISPLAY" --config="$work/weston.ini" >"$work/weston.log" 2>&1 &
weston_pid=$!
for ((i = 0; i < 100; i++)); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "weston did not start: $(cat "$work/weston.log")"

dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" >/dev/null 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for ((i = 0; i < 50; i++)); do [ -S "$work/bus" ] && break; sleep 0.1; done

cat >"$work/settings.json" <<'JSON'
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": false},
  {"name": "AutoCU", "type": "Bool", "value": false},
  {"name": "cur_channel", "type": "WString", "value": "int_TestCard"}]}]}
JSON
"$build/lumora-data" build "$work/settings.json" "$XDG_DATA_HOME/lumora/Settings.cfg" || fail "cannot write settings"

# The window paints with Qt's raster engine, so no client buffer integration
# is needed; Qt's EGL one would load mesa's driver only to unload it at exit,
# and a block the driver keeps then reads as a leak of an unknown module in
# the sanitizer build.
QT_QPA_PLATFORM=wayland QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none LUMORA_MPV_AO=null \
    "$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
name=org.mpris.MediaPlayer2.lumora
call() { timeout 10 gdbus call --session --dest $name --object-path /org/mpris/MediaPlayer2 --method "$@"; }
get() { call org.freedesktop.DBus.Properties.Get "$1" "$2"; }
set_property() { call org.freedesktop.DBus.Properties.Set "$1" "$2" "$3" >/dev/null; }
for ((i = 0; i < 150; i++)); do
    get org.mpris.MediaPlayer2 Identity >/dev/null 2>&1 && break
    sleep 0.1
done
get org.mpris.MediaPlayer2 Identity >/dev/null 2>&1 || fail "the program did not come up under Wayland"

shoot() {  # NAME: a picture of the whole screen as raw RGB in $work/NAME.rgb
    rm -f "$work"/wayland-screenshot-*.png
    (cd "$work" && weston-screenshooter >/dev/null 2>&1) || fail "weston-screenshooter failed"
    local png
    png=$(ls "$work"/wayland-screenshot-*.png | head -n 1)
    cp "$png" "$shots/wayland_$1.png"
    ffmpeg -loglevel error -y -i "$png" -f rawvideo -pix_fmt rgb24 "$work/$1.rgb" || fail "cannot read $png"
}
# Prints "left top right bottom" of the player frame, "black" or "moving"
# facts about the area inside it; see the python below.
examine() {  # MODE FILE [FILE2]
    python3 - "$@" <<'PY'
import sys
mode, files = sys.argv[1], sys.argv[2:]
W, H = 800, 600
data = [open(f, "rb").read() for f in files]
def px(d, x, y):
    i = (y * W + x) * 3
    return tuple(d[i:i + 3])
frame = (195, 170, 69)
# The frame: the two columns with long runs of the frame colour (the bars'
# outlines are short), and the longest vertical run in the left one.
cols = [x for x in range(W) if sum(1 for y in range(H) if px(data[0], x, y) == frame) > 100]
if mode == "frame":
    if len(cols) < 2:
        print("none")
        sys.exit(0)
    best, run, start, top = 0, 0, 0, 0
    for y in range(H):
        if px(data[0], cols[0], y) == frame:
            if run == 0:
                start = y
            run += 1
            if run > best:
                best, top = run, start
        else:
            run = 0
    print(cols[0], top, cols[-1], top + best - 1)
    sys.exit(0)
left, top, right, bottom = map(int, mode.split(","))
inside = [(x, y) for y in range(top + 2, bottom - 1, 3) for x in range(left + 2, right - 1, 3)]
colours = {px(data[0], x, y) for x, y in inside}
if len(data) == 1:
    print("black" if colours == {(0, 0, 0)} else f"not black: {len(colours)} colours, e.g. {sorted(colours)[:3]}")
else:
    changed = sum(1 for x, y in inside if px(data[0], x, y) != px(data[1], x, y))
    print("moving" if len(colours) > 8 and changed > 50 else f"still: {len(colours)} colours, {changed} changed")
PY
}

# 1. The window fits, the idle player is black.
sleep 1.5
shoot idle
frame=$(examine frame "$work/idle.rgb")
[ "$frame" != none ] || fail "no player frame on the screen"
read -r left top right bottom <<<"$frame"
bar=24
[ "$top" -ge "$bar" ] && [ $((bottom + 2 * bar)) -le 600 ] ||
    fail "the window runs off the screen: player frame $frame on an 800x600 screen"
result=$(examine "$left,$top,$right,$bottom" "$work/idle.rgb")
[ "$result" = black ] || fail "the idle player area is $result"

# 2. The test card, started through MPRIS, moves.
call org.mpris.MediaPlayer2.Player.Play >/dev/null || fail "Play failed"
sleep 3
shoot playing1
sleep 1
shoot playing2
result=$(examine "$left,$top,$right,$bottom" "$work/playing1.rgb" "$work/playing2.rgb")
[ "$result" = moving ] || fail "the test card is $result"

# 3. Full screen covers the screen; back, the player sits in its frame again.
set_property org.mpris.MediaPlayer2 Fullscreen "<true>" || fail "cannot set Fullscreen"
sleep 2
shoot fullscreen1
sleep 1
shoot fullscreen2
result=$(examine "2,2,797,597" "$work/fullscreen1.rgb" "$work/fullscreen2.rgb")
[ "$result" = moving ] || fail "full screen does not show the moving picture over the screen: $result"
set_property org.mpris.MediaPlayer2 Fullscreen "<false>" || fail "cannot leave full screen"
sleep 2
shoot back
[ "$(examine frame "$work/back.rgb")" = "$frame" ] || fail "after full screen the frame is at $(examine frame "$work/back.rgb"), was $frame"

# 4. Quit.
call org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit failed"
for ((i = 0; i < 100; i++)); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "Quit did not end the program"
wait "$program_pid"
code=$?
program_pid=
[ "$code" = 1 ] || fail "exit code $code, expected 1"
echo "PASS: Wayland: window fits, idle black, test card moves, full screen and back, quit"
