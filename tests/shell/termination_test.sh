#!/usr/bin/env bash
# The program in a real X window, ended by SIGTERM, SIGINT or SIGHUP at each
# moment a user may leave it waiting: the first-run dialog, the splash, a
# message about a bad catalogue entry at start, a modal dialog (the channel
# list) and an update download. Each time it ends at once with 1, having
# saved the settings as Ctrl+Q does.
#
# Usage: termination_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server could be started).
set -u
build=$(cd "${1:?usage: termination_test.sh BUILD_DIR}" && pwd)
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
scratch_pid_names="program_pid server_pid"
start_scratch_session
export LUMORA_MPV_AO=null
unset QT_QPA_PLATFORM QT_SCALE_FACTOR
user="$XDG_DATA_HOME/lumora"

# An update server whose marker is newer than any catalogue and whose
# catalogue download never ends.
start_newer_catalogue_server 600

# Settings: the first start, or an earlier run's, with the update check on
# or off (off: the channel source is a port where nothing listens).
write_settings() {  # FIRST_RUN AUTO_CU
    local source="http://127.0.0.1:9"
    [ "$2" = true ] && source="http://127.0.0.1:$port"
    cat >"$work/settings.json" <<JSON
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": $1},
  {"name": "AutoCU", "type": "Bool", "value": $2},
  {"name": "update_server", "type": "WString", "value": "$source"}]}]}
JSON
    "$build/lumora-data" build "$work/settings.json" "$user/Settings.cfg" >/dev/null ||
        fail "cannot write settings"
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
# The splash: a short window under the program's title.
splash_window() {
    local id
    for id in $(windows_named '^Lumora$'); do
        [ "$(height_of "$id")" -lt 400 ] && echo "$id" && return 0
    done
    return 1
}
# A visible window of the program that is neither the splash nor the main
# window (both bear the program's title).
other_window() {
    local id
    for id in $(windows_named ''); do
        [ "$(xdotool getwindowname "$id")" != Lumora ] &&
            echo "$id" && return 0
    done
    return 1
}
wait_for() {  # TRIES COMMAND...: runs COMMAND every 0.05 s until it succeeds
    local tries=$1
    shift
    for ((i = 0; i < tries; i++)); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}

# Starts the program, waits for the moment, sends the signal and checks
# the end: within a few seconds, exit code 1, the settings written again.
end_at() {  # MOMENT SIGNAL WAIT_COMMAND...
    local moment=$1 signal=$2
    shift 2
    touch "$work/stamp"
    sleep 0.01
    "$build/lumora" >"$work/lumora.log" 2>&1 &
    program_pid=$!
    wait_for 300 "$@" >/dev/null || fail "$moment: the moment never came"
    local sent
    sent=$(date +%s%N)
    kill -s "$signal" "$program_pid"
    for ((i = 0; i < 100; i++)); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$program_pid" 2>/dev/null && fail "$moment: SIG$signal did not end the program"
    wait "$program_pid"
    local code=$?
    program_pid=
    [ "$code" = 1 ] || fail "$moment: exit code $code after SIG$signal, expected 1"
    [ "$user/Settings.cfg" -nt "$work/stamp" ] || fail "$moment: the settings were not saved"
    echo "$moment: SIG$signal ended the program in $((($(date +%s%N) - sent) / 1000000)) ms"
}

write_settings true false
end_at "first-run dialog" INT windows_named '^Welcome$'
"$build/lumora-data" dump "$user/Settings.cfg" | python3 -c '
import json, sys
options = json.load(sys.stdin)["children"][0]["attributes"]
sys.exit(0 if {"name": "first_run", "type": "Bool", "value": True} in options else 1)' ||
    fail "first-run dialog: first_run is no longer true"

write_settings false false
end_at "splash" TERM splash_window

# A channel without streams: "No url!" at start.
cat >"$work/bad.json" <<'JSON'
{"name": "1.0", "children": [{"name": "de", "children": [
  {"name": "bad", "attributes": [
    {"name": "n", "type": "WString", "value": "Kaputt"},
    {"name": "c", "type": "String", "value": "n"}]}]}]}
JSON
"$build/lumora-data" build "$work/bad.json" "$user/Channels.lmch" >/dev/null || fail "cannot write the catalogue"
end_at "message about the catalogue" TERM other_window
rm -f "$user/Channels.lmch"

# Opens the channel list with F1 once the main window is up and the splash
# gone; true once the list is on screen.
channel_list_open() {
    local id main=
    [ -n "$(windows_named '^Channels$')" ] && return 0
    [ -e "$work/list_asked" ] || [ -n "$(splash_window)" ] && return 1
    for id in $(windows_named '^Lumora$'); do
        [ "$(height_of "$id")" -ge 400 ] && main=$id
    done
    [ -n "$main" ] || return 1
    xdotool windowfocus "$main" key F1 2>/dev/null
    touch "$work/list_asked"
    return 1
}
end_at "channel list" HUP channel_list_open

write_settings false true
end_at "update download" TERM windows_named "^$(sed -n 's/^ *"str_down_channels": "\(.*\)",$/\1/p' \
    "$(dirname "$0")/../../data/languages/en.json")\$"

echo "PASS: SIGTERM, SIGINT and SIGHUP end the program with 1 and saved settings at every moment"
