#!/usr/bin/env bash
# Media keys and desktop controls through MPRIS, on a private session bus:
# the program registers as org.mpris.MediaPlayer2.lumora; PlayPause plays
# the current channel and the metadata name it, its country and its flag;
# a channel the guide (a local file, read at start) knows has its
# programme for title and its name for artist;
# Next and Previous zap within the country; Volume sets the slider and the
# saved volume; Stop stops; Quit ends the program as Ctrl+Q does. Without a
# session bus the program starts all the same and registers nothing.
#
# Usage: mpris_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no dbus-daemon or gdbus).
set -u
build=$(cd "${1:?usage: mpris_test.sh BUILD_DIR}" && pwd)
for tool in dbus-daemon gdbus python3; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
# shellcheck source=../support/scratch_session.sh
. "$(dirname "$0")/../support/scratch_session.sh"
program_pid=
bus_pid=
scratch_pid_names="program_pid bus_pid"
start_scratch_session
export QT_QPA_PLATFORM=offscreen LUMORA_MPV_AO=null

# A catalogue whose test country has three channels, and settings past the
# first start that stay off the network.
"$build/lumora-data" dump "$build/Channels.lmch" >"$work/catalogue.json" || fail "cannot dump the catalogue"
python3 - "$work/catalogue.json" <<'PY' || fail "cannot extend the catalogue"
import copy, json, sys
document = json.load(open(sys.argv[1]))
def find(node, name):
    if node["name"] == name and node.get("children"):
        return node
    for child in node.get("children", []):
        found = find(child, name)
        if found:
            return found
test_country = find(document, "int")
# Only the test country, so that every list of the channel list holds just
# these three channels in their name order.
def keep_only(node):
    if test_country in node.get("children", []):
        node["children"] = [test_country]
        return True
    return any(keep_only(child) for child in node.get("children", []))
keep_only(document)
card = test_country["children"][0]
for key, name, source in (("Bars", "Lumora Bars", "smptebars"), ("Colour", "Lumora Colour", "color")):
    channel = copy.deepcopy(card)
    channel["name"] = key
    for attribute in channel["attributes"]:
        if attribute["name"] == "n":
            attribute["value"] = name
    channel["children"][0]["attributes"] = [
        a if a["name"] != "u" else dict(a, value=f"av://lavfi:{source}=size=160x120:rate=10")
        for a in channel["children"][0]["attributes"]]
    test_country["children"].append(channel)
json.dump(document, open(sys.argv[1], "w"))
PY
"$build/lumora-data" build "$work/catalogue.json" "$XDG_DATA_HOME/lumora/Channels.lmch" || fail "cannot build the catalogue"
# A guide that knows "Lumora Colour" by its name: on now, "Colour Hour".
python3 - "$work/guide.xml" <<'PY' || fail "cannot write the guide"
import sys, time
stamp = lambda t: time.strftime("%Y%m%d%H%M%S +0000", time.gmtime(t))
now = int(time.time())
open(sys.argv[1], "w").write(
    '<?xml version="1.0" encoding="UTF-8"?>\n<tv><channel id="colour.int">'
    '<display-name>Lumora Colour</display-name></channel>'
    f'<programme start="{stamp(now - 3600)}" stop="{stamp(now + 3600)}" channel="colour.int">'
    '<title>Colour Hour</title></programme></tv>\n')
PY
cat >"$work/settings.json" <<JSON
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": false},
  {"name": "AutoCU", "type": "Bool", "value": false},
  {"name": "guide_sources", "type": "WString", "value": "$work/guide.xml"},
  {"name": "cur_channel", "type": "WString", "value": "int_TestCard"}]}]}
JSON
"$build/lumora-data" build "$work/settings.json" "$XDG_DATA_HOME/lumora/Settings.cfg" || fail "cannot write settings"

# 1. Without a session bus: the program runs, nothing to register with.
DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" "$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
sleep 2
kill -0 "$program_pid" 2>/dev/null || fail "the program did not survive a missing session bus"
kill "$program_pid"
wait "$program_pid"
program_pid=

# 2. A private session bus.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" >/dev/null 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for ((i = 0; i < 50; i++)); do [ -S "$work/bus" ] && break; sleep 0.1; done

"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!
name=org.mpris.MediaPlayer2.lumora
path=/org/mpris/MediaPlayer2
player=org.mpris.MediaPlayer2.Player
call() { timeout 10 gdbus call --session --dest $name --object-path $path --method "$@"; }
get() { call org.freedesktop.DBus.Properties.Get "$1" "$2"; }
for ((i = 0; i < 100; i++)); do
    get org.mpris.MediaPlayer2 Identity >/dev/null 2>&1 && break
    sleep 0.1
done
get org.mpris.MediaPlayer2 Identity | grep -q "'Lumora'" || fail "not registered as $name"
get $player PlaybackStatus | grep -q "'Stopped'" || fail "not stopped at start: $(get $player PlaybackStatus)"

expect_playing() {  # TITLE [ARTIST]
    local status metadata
    for ((i = 0; i < 50; i++)); do
        status=$(get $player PlaybackStatus)
        metadata=$(get $player Metadata)
        case "$status $metadata" in *"'Playing'"*"'xesam:artist': <['${2:-$1}']>"*"'xesam:title': <'$1'>"*) return 0 ;; esac
        sleep 0.1
    done
    fail "expected $1 playing, got $status $metadata"
}
call $player.PlayPause >/dev/null || fail "PlayPause failed"
expect_playing "Lumora Test Card"
metadata=$(get $player Metadata)
echo "$metadata" | grep -q "'xesam:album': <'" || fail "no country in $metadata"
echo "$metadata" | grep -q "'mpris:trackid': <objectpath '/org/lumora/channel/int_5fTestCard'>" || fail "no track id in $metadata"

# Next and Previous: the order of the zapping keys, wrapping.
call $player.Next >/dev/null && expect_playing "Lumora Bars"
call $player.Next >/dev/null && expect_playing "Colour Hour" "Lumora Colour"
call $player.Previous >/dev/null && expect_playing "Lumora Bars"
call $player.Previous >/dev/null && expect_playing "Lumora Test Card"

# Volume follows into the slider and the saved setting.
call org.freedesktop.DBus.Properties.Set $player Volume "<0.3>" >/dev/null || fail "cannot set Volume"
get $player Volume | grep -Eq "<0\.(3|2999+)" || fail "Volume reads $(get $player Volume)"

call $player.Stop >/dev/null
for ((i = 0; i < 50; i++)); do
    get $player PlaybackStatus | grep -q "'Stopped'" && break
    sleep 0.1
done
get $player PlaybackStatus | grep -q "'Stopped'" || fail "Stop did not stop"
call org.mpris.MediaPlayer2.Raise >/dev/null || fail "Raise failed"

# Quit ends the program as Ctrl+Q does.
call org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit failed"
for ((i = 0; i < 100; i++)); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && fail "Quit did not end the program"
wait "$program_pid"
code=$?
program_pid=
[ "$code" = 1 ] || fail "exit code $code after Quit, expected 1"
"$build/lumora-data" dump "$XDG_DATA_HOME/lumora/Settings.cfg" >"$work/saved.json" || fail "no settings saved"
python3 - "$work/saved.json" <<'PY' || fail "wrong saved settings: $(cat "$work/saved.json")"
import json, sys
found = {}
def walk(node):
    for attribute in node.get("attributes", []):
        found[attribute["name"]] = attribute.get("value")
    for child in node.get("children", []):
        walk(child)
walk(json.load(open(sys.argv[1])))
sys.exit(0 if found.get("sound_volume") == 30 and found.get("cur_channel") == "int_TestCard" else 1)
PY
echo "PASS: MPRIS registration, play/pause, metadata, next/previous, volume, stop, raise, quit"
