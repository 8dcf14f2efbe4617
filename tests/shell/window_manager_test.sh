#!/usr/bin/env bash
# The program under a window manager (openbox, as Debian ships it):
#   1. a first start: after the first-run dialog the main window has the
#      keyboard, so F1 opens the channel list without a click;
#   2. an automatic update of 2 s at start: the splash is gone before the
#      wait dialog shows, so it never covers the dialog or the message after
#      it; after that message the keyboard is back in the main window.
#
# Usage: window_manager_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server or no openbox).
set -u
build=$(cd "${1:?usage: window_manager_test.sh BUILD_DIR}" && pwd)
if ! command -v openbox >/dev/null 2>&1; then
    echo "SKIP: openbox is not installed"
    exit 77
fi
# shellcheck source=../support/private_x_server.sh
. "$(dirname "$0")/../support/private_x_server.sh"
run_in_private_x_server 1024x768 "$0" "$build"

# shellcheck source=../support/scratch_session.sh
. "$(dirname "$0")/../support/scratch_session.sh"
for tool in xdotool python3; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (tools/install-deps.sh)"
done

program_pid=
server_pid=
manager_pid=
scratch_pid_names="program_pid server_pid manager_pid"
start_scratch_session
export LUMORA_MPV_AO=null
unset QT_QPA_PLATFORM QT_SCALE_FACTOR
user="$XDG_DATA_HOME/lumora"

openbox >"$work/openbox.log" 2>&1 &
manager_pid=$!
for ((i = 0; i < 50; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

# An update server with a newer catalogue that takes 2 s to download.
start_newer_catalogue_server 2

write_settings() {  # JSON_ATTRIBUTES
    echo "{\"name\": \"set\", \"children\": [{\"name\": \"options\", \"attributes\": [$1]}]}" \
        >"$work/settings.json"
    "$build/lumora-data" build "$work/settings.json" "$user/Settings.cfg" >/dev/null ||
        fail "cannot write settings"
}
text_of() {  # KEY: its English text
    sed -n "s/^ *\"$1\": \"\(.*\)\",\$/\1/p" "$(dirname "$0")/../../data/languages/en.json"
}

# Visible windows of the program whose title matches (xdotool ignores case;
# without --all it would take windows that meet either condition).
windows_named() {
    xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" 2>/dev/null
}
height_of() {
    local HEIGHT=0
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^HEIGHT=[0-9]+$')"
    echo "$HEIGHT"
}
# The window of that title, at least / at most that high; waits for it.
wait_window() {  # TITLE MIN_HEIGHT MAX_HEIGHT
    local id
    for ((i = 0; i < 200; i++)); do
        for id in $(windows_named "^$1\$"); do
            [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] || continue
            local h
            h=$(height_of "$id")
            [ "$h" -ge "$2" ] && [ "$h" -le "$3" ] && echo "$id" && return 0
        done
        sleep 0.05
    done
    return 1
}
visible() {
    windows_named '' | grep -qx -e "$1"
}
gone() {  # WINDOW: waits until it is no longer visible
    for ((i = 0; i < 100; i++)); do
        visible "$1" || return 0
        sleep 0.05
    done
    return 1
}
# F1 with the keyboard wherever the window manager left it opens the channel
# list; Esc closes it again.
f1_opens_channel_list() {  # WHEN
    xdotool key F1
    list=$(wait_window Channels 1 10000) ||
        fail "$1: F1 opened no channel list (the keyboard is with $(xdotool getwindowfocus))"
    for ((i = 0; i < 40; i++)); do
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$list" ] && break
        sleep 0.05
    done
    xdotool key Escape
    gone "$list" || fail "$1: Esc did not close the channel list"
}
quit() {  # WHEN
    xdotool key ctrl+q
    for ((i = 0; i < 100; i++)); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "$1: Ctrl+Q did not end the program"
    wait "$program_pid"
    local code=$?
    program_pid=
    [ "$code" = 1 ] || fail "$1: exit code $code, expected 1"
}

# 1. The first start.
write_settings "{\"name\": \"update_server\", \"type\": \"WString\", \"value\": \"http://127.0.0.1:9\"}"
"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
welcome=$(wait_window Welcome 1 10000) || fail "no first-run dialog"
sleep 0.3
xdotool key F1
main=$(wait_window Lumora 400 10000) || fail "first start: no main window"
# The splash ends at the main window's first tick.
for ((i = 0; i < 100; i++)); do
    short=
    for id in $(windows_named '^Lumora$'); do
        [ "$(height_of "$id")" -lt 400 ] && short=$id
    done
    [ -z "$short" ] && break
    sleep 0.05
done
[ -z "$short" ] || fail "first start: the splash stays"
f1_opens_channel_list "after the first-run dialog"
quit "first start"

# 2. The automatic update at start.
write_settings "{\"name\": \"first_run\", \"type\": \"Bool\", \"value\": false},
  {\"name\": \"update_server\", \"type\": \"WString\", \"value\": \"http://127.0.0.1:$port\"}"
"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
splash=$(wait_window Lumora 1 399) || fail "no splash"
main=$(wait_window Lumora 400 10000) || fail "update: no main window"
waits=0
for ((i = 0; i < 200; i++)); do
    wait_dialog=$(windows_named "^($(text_of str_check_updates)|$(text_of str_down_channels))\$")
    [ -n "$wait_dialog" ] || { [ "$waits" -gt 0 ] && break; sleep 0.05; continue; }
    waits=$((waits + 1))
    visible "$splash" && fail "the splash is on screen with the update's wait dialog"
    sleep 0.05
done
[ "$waits" -gt 0 ] || fail "no update wait dialog"
box=
for ((i = 0; i < 200; i++)); do
    for id in $(windows_named '^Lumora$'); do
        [ "$id" = "$main" ] || [ "$id" = "$splash" ] || box=$id
    done
    [ -n "$box" ] && break
    sleep 0.05
done
[ -n "$box" ] || fail "no message after the update"
visible "$splash" && fail "the splash is on screen with the update's message"
xdotool key Return
gone "$box" || fail "Return did not answer the update's message"
f1_opens_channel_list "after the update's message"
quit "update"
cmp -s "$work/newer.lmch" "$user/Channels.lmch" || fail "the update was not installed"
echo "PASS: openbox: the keyboard in the main window after the first-run dialog and after the update; no splash over the update"
