#!/usr/bin/env bash
# The program in a real X window with no window manager, as on a kiosk or a
# handheld: the main window opens centred; the automatic update downloads a
# newer catalogue and says so in a message box; after that box closes the
# keyboard works in the main window without anyone giving it the focus
# (F1 opens the channel list, Return plays the test card); full screen
# covers the whole screen and Esc brings the layout back pixel for pixel;
# Ctrl+Q ends the program with 1 and the settings are saved.
#
# Usage: no_window_manager_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server could be started).
set -u
build=$(cd "${1:?usage: no_window_manager_test.sh BUILD_DIR}" && pwd)
screen_w=1024
screen_h=768
# shellcheck source=../support/private_x_server.sh
. "$(dirname "$0")/../support/private_x_server.sh"
run_in_private_x_server "${screen_w}x${screen_h}" "$0" "$build"

# shellcheck source=../support/scratch_session.sh
. "$(dirname "$0")/../support/scratch_session.sh"
for tool in xdotool ffmpeg python3; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (tools/install-deps.sh)"
done

program_pid=
server_pid=
scratch_pid_names="program_pid server_pid"
start_scratch_session
export LUMORA_MPV_AO=null
unset QT_QPA_PLATFORM QT_SCALE_FACTOR
shots="$build/screenshots"
mkdir -p "$shots"

# An update server with a newer catalogue: the shipped one under a higher
# version.
start_newer_catalogue_server 0

# Settings of an earlier run: past the first start, checking for updates there.
cat >"$work/settings.json" <<JSON
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": false},
  {"name": "AutoCU", "type": "Bool", "value": true},
  {"name": "update_server", "type": "WString", "value": "http://127.0.0.1:$port"}]}]}
JSON
"$build/lumora-data" build "$work/settings.json" "$XDG_DATA_HOME/lumora/Settings.cfg" || fail "cannot write settings"

geometry() {  # WINDOW -> X Y WIDTH HEIGHT (zeros for a window that is gone)
    local X=0 Y=0 WIDTH=0 HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9-]+$')"
    echo "$X $Y $WIDTH $HEIGHT"
}
# Visible windows of the program with a title matching the pattern.
windows_named() {
    xdotool search --onlyvisible --pid "$program_pid" --name "$1" 2>/dev/null
}
# Waits until a visible window of that title and at most/least that height
# exists; prints it.
wait_window() {  # TITLE MIN_HEIGHT MAX_HEIGHT TRIES
    local title=$1 low=$2 high=$3 tries=${4:-100} id
    for ((i = 0; i < tries; i++)); do
        for id in $(windows_named "^${title}\$"); do
            read -r _ _ _ h <<<"$(geometry "$id")"
            if [ "$h" -ge "$low" ] && [ "$h" -le "$high" ]; then
                echo "$id"
                return 0
            fi
        done
        sleep 0.1
    done
    return 1
}
grab() {  # FILE X Y W H
    ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "$4x$5" -i "${DISPLAY}+$2,$3" -frames:v 1 "$1"
}

"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!

# 1. The splash (it bears the program's title too), then the main window,
#    centred on the screen.
splash=$(wait_window Lumora 1 399 100)
main=$(wait_window Lumora 400 10000 150) || fail "no main window"
read -r mx my mw mh <<<"$(geometry "$main")"
[ $((mx * 2 + mw)) -eq $screen_w ] && [ $((my * 2 + mh)) -eq $screen_h ] ||
    fail "main window at $mx,$my size ${mw}x$mh is not centred"

# 2. The automatic update installs the newer catalogue and says so in a
#    message box (the splash has ended before the update), closed with Return.
for ((i = 0; i < 300; i++)); do
    cmp -s "$work/newer.lmch" "$XDG_DATA_HOME/lumora/Channels.lmch" && break
    sleep 0.1
done
box=
for ((i = 0; i < 100; i++)); do
    for id in $(windows_named '^Lumora$'); do
        [ "$id" = "$main" ] || [ "$id" = "$splash" ] || box=$id
    done
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || fail "no update message"
read -r bx by bw bh <<<"$(geometry "$box")"
[ $((bx * 2 + bw - screen_w)) -le 2 ] && [ $((bx * 2 + bw - screen_w)) -ge -2 ] ||
    fail "message box at $bx,$by is not centred"
xdotool windowfocus --sync "$box" 2>/dev/null
sleep 0.2
xdotool key Return
for ((i = 0; i < 50; i++)); do
    [ -z "$(windows_named '^Lumora$' | grep -v -x -e "$main")" ] && break
    sleep 0.1
done
sleep 0.3

# 3. No one gives the main window the focus: the keyboard must work there.
xdotool key F1
list=$(wait_window Channels 1 10000 50) || fail "F1 after the message box opened no channel list"
sleep 0.3
xdotool type --delay 60 "Lumora Test Card"
sleep 0.3
xdotool key Return
for ((i = 0; i < 50; i++)); do
    windows_named '^Channels$' >/dev/null || break
    sleep 0.1
done
sleep 2

# 4. Full screen from the control bar's button, Esc back; the bars and the
#    frame around the player are where they were.
bar=24
view_h=$((mh - bar))
grab "$work/before.png" "$mx" "$my" "$mw" "$mh" || fail "cannot grab"
# The full-screen window is a new one (the root window matches any search).
known=$(xdotool search --pid "$program_pid" "" 2>/dev/null; xdotool search --maxdepth 0 "" 2>/dev/null)
xdotool mousemove $((mx + bar + bar * 5 / 6 + bar * 5 / 6 / 2)) $((my + view_h - bar / 2)) click 1 mousemove 0 0
fullscreen=
for ((i = 0; i < 50; i++)); do
    for id in $(xdotool search --onlyvisible --pid "$program_pid" "" 2>/dev/null); do
        echo "$known" | grep -qx -e "$id" && continue
        [ "$(geometry "$id")" = "0 0 $screen_w $screen_h" ] && fullscreen=$id
    done
    [ -n "$fullscreen" ] && break
    sleep 0.1
done
[ -n "$fullscreen" ] || fail "full screen does not cover the screen"
sleep 1
grab "$shots/nowm_fullscreen.png" 0 0 $screen_w $screen_h
xdotool key Escape
for ((i = 0; i < 50; i++)); do
    xdotool search --onlyvisible --pid "$program_pid" "" 2>/dev/null | grep -qx "$fullscreen" || break
    sleep 0.1
done
sleep 1
grab "$work/after.png" "$mx" "$my" "$mw" "$mh" || fail "cannot grab"
cp "$work/after.png" "$shots/nowm_after_fullscreen.png"
python3 - "$work/before.png" "$work/after.png" "$mw" "$mh" "$bar" <<'PY' || fail "the layout changed after full screen"
import subprocess, sys
def pixels(path):
    return subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], capture_output=True, check=True).stdout
a, b = pixels(sys.argv[1]), pixels(sys.argv[2])
w, h, bar = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
margin = bar // 8
# The margins with the frame around the picture, and the soft keys. The
# title bar's status and the control bar's focused button may change.
def outside_picture(x, y):
    if y < bar or h - 2 * bar <= y < h - bar:
        return False
    return x < margin or x >= w - margin or y < bar + margin or y >= h - 2 * bar - margin
diff = sum(1 for y in range(h) for x in range(w)
           if outside_picture(x, y) and a[(y * w + x) * 3:(y * w + x) * 3 + 3] != b[(y * w + x) * 3:(y * w + x) * 3 + 3])
print(f"{diff} pixels outside the picture differ after full screen and back")
sys.exit(0 if diff == 0 else 1)
PY

# 5. Ctrl+Q, still without giving anyone the focus.
xdotool key ctrl+q
for ((i = 0; i < 100; i++)); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "Ctrl+Q did not end the program"
wait "$program_pid"
code=$?
program_pid=
[ "$code" = 1 ] || fail "exit code $code, expected 1"
"$build/lumora-data" dump "$XDG_DATA_HOME/lumora/Settings.cfg" >"$work/saved.json" || fail "no settings saved"
grep -q '"int_TestCard"' "$work/saved.json" || fail "the test card is not the saved channel: $(cat "$work/saved.json")"
cmp -s "$work/newer.lmch" "$XDG_DATA_HOME/lumora/Channels.lmch" || fail "the update was not installed"
echo "PASS: no window manager: centred, update message, keyboard back, full screen and back, Ctrl+Q (exit 1), settings saved"
