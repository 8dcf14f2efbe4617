#!/usr/bin/env bash
# What a screen reader sees, through AT-SPI (the accessibility bus of the
# Linux desktop) on a private session bus and a private X server: the main
# window's buttons, volume slider, title strip and soft keys carry their
# names and roles; pressing Play through its accessible action plays the
# test card and the status line announces "Playing" as an object event;
# pressing the "Channels" soft key through its action opens the channel
# list, whose tabs (with their counts, the current one selected), soft keys
# and rows are there with their texts; its "Close" soft key closes it.
#
# Usage: accessibility_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server, dbus-daemon,
# at-spi2-core or python3-pyatspi).
set -u
build=$(cd "${1:?usage: accessibility_test.sh BUILD_DIR}" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
command -v dbus-daemon >/dev/null 2>&1 || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
# pyatspi comes with the system's python; a python of its own on the PATH
# does not see it.
atspi_python=
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import pyatspi' >/dev/null 2>&1; then
        atspi_python=$candidate
        break
    fi
done
[ -n "$atspi_python" ] || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
# shellcheck source=../support/private_x_server.sh
. "$(dirname "$0")/../support/private_x_server.sh"
run_in_private_x_server 800x600 "$0" "$build"

# From here on DISPLAY is the private server.
# shellcheck source=../support/scratch_session.sh
. "$(dirname "$0")/../support/scratch_session.sh"
program_pid=
launcher_pid=
bus_pid=
scratch_pid_names="program_pid launcher_pid bus_pid"
start_scratch_session
unset QT_QPA_PLATFORM
export LUMORA_MPV_AO=null QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0

# Past the first start, off the network, the test card current.
cat >"$work/settings.json" <<JSON
{"name": "set", "children": [{"name": "options", "attributes": [
  {"name": "first_run", "type": "Bool", "value": false},
  {"name": "AutoCU", "type": "Bool", "value": false},
  {"name": "update_server", "type": "WString", "value": "http://127.0.0.1:9"},
  {"name": "cur_channel", "type": "WString", "value": "int_TestCard"}]}]}
JSON
"$build/lumora-data" build "$work/settings.json" "$XDG_DATA_HOME/lumora/Settings.cfg" ||
    fail "cannot write settings"

# A private session bus, and the accessibility bus on it.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" >/dev/null 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for ((i = 0; i < 50; i++)); do [ -S "$work/bus" ] && break; sleep 0.1; done
"$launcher" --launch-immediately >/dev/null 2>&1 &
launcher_pid=$!
for ((i = 0; i < 50; i++)); do
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.1
done

"$build/lumora" >"$work/lumora.log" 2>&1 &
program_pid=$!

"$atspi_python" - <<'PY' || fail "the accessible tree is not as expected"
import sys
import time

import pyatspi
from gi.repository import GLib

def check(condition, message):
    if not condition:
        print("FAIL:", message, file=sys.stderr)
        sys.exit(1)

def spin(seconds):
    """Runs the main loop for a while, so that events arrive."""
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()

def until(what, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = what()
        except Exception:
            found = None
        if found:
            return found
        spin(0.1)
    return None

def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)

def find(root, role, name=None, where=lambda node: True):
    for node in walk(root):
        if node.getRole() == role and (name is None or node.name == name) and where(node):
            return node
    return None

def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)

def action_names(node):
    action = node.queryAction()
    return [action.getName(i) for i in range(action.nActions)]

def press(node):
    names = action_names(node)
    check("Press" in names, f"{node.name}: no press action in {names}")
    node.queryAction().doAction(names.index("Press"))

def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "lumora":
            return app

app = until(application, 30)
check(app is not None, "the program is not on the accessibility bus")
main = until(lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Play", showing), 20)
check(main is not None, "no Play button in the main window")

# The main window's controls.
check(find(app, pyatspi.ROLE_PUSH_BUTTON, "Full screen"), "no Full screen button")
volume = find(app, pyatspi.ROLE_SLIDER, "Volume")
check(volume is not None, "no Volume slider")
value = volume.queryValue()
check((value.minimumValue, value.maximumValue) == (0, 100) and value.currentValue == 50,
      f"volume {value.minimumValue}..{value.maximumValue} at {value.currentValue}")
heading = find(app, pyatspi.ROLE_HEADING)
check(heading is not None and heading.name == "Lumora Test Card", "no heading with the channel")
status = find(app, pyatspi.ROLE_STATUS_BAR)
check(status is not None, "no status line")
keys = find(app, pyatspi.ROLE_TOOL_BAR, where=lambda n: n.childCount == 2 and showing(n))
check(keys is not None, "no soft keys")
channels_key, menu_key = keys.getChildAtIndex(0), keys.getChildAtIndex(1)
check((channels_key.name, menu_key.name) == ("Channels", "Menu"),
      f"soft keys {channels_key.name!r}, {menu_key.name!r}")
def has_popup(node):
    # Qt before 6.6 passes neither the popup state nor the menu button role
    # on, only the show-menu action.
    return (node.getRole() == pyatspi.ROLE_PUSH_BUTTON_MENU
            or node.getState().contains(pyatspi.STATE_HAS_POPUP)
            or "ShowMenu" in action_names(node))
check(has_popup(menu_key), f"Menu is not marked as a popup: {menu_key.getRoleName()}")
check(not has_popup(channels_key), "Channels is marked as a popup")

# Play: the status line announces each change.
announced = []
def on_name(event):
    if event.source is not None and event.source.getRole() == pyatspi.ROLE_STATUS_BAR:
        announced.append(event.source.name)
pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")
spin(0.5)
press(main)
check(until(lambda: "Playing" in announced, 30), f"no 'Playing' announced; heard {announced}")
check(until(lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Stop")), "Play did not become Stop")

# The Channels soft key opens the channel list.
press(channels_key)
def channel_list():
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window.name == "Channels" and showing(window):
            return window
dialog = until(channel_list, 20)
check(dialog is not None, "the Channels soft key opened no channel list")
tabs = until(lambda: find(dialog, pyatspi.ROLE_PAGE_TAB_LIST))
check(tabs is not None and tabs.childCount == 2, "no two tabs")
first, second = tabs.getChildAtIndex(0), tabs.getChildAtIndex(1)
check(first.name.startswith("Channels (") and second.name == "Favorites (0)",
      f"tabs {first.name!r}, {second.name!r}")
check(first.getState().contains(pyatspi.STATE_SELECTED)
      and not second.getState().contains(pyatspi.STATE_SELECTED), "the channel tab is not selected")
dialog_keys = find(dialog, pyatspi.ROLE_TOOL_BAR)
check(dialog_keys is not None and
      [dialog_keys.getChildAtIndex(i).name for i in range(2)] == ["Play", "Close"],
      "the channel list's soft keys are not Play and Close")
row = until(lambda: find(dialog, pyatspi.ROLE_LIST_ITEM,
                         where=lambda n: n.name.startswith("Lumora Test Card, ")))
check(row is not None, "no row for the test card with its subtitle")
press(dialog_keys.getChildAtIndex(1))
check(until(lambda: channel_list() is None, 10), "Close did not close the channel list")
print("PASS: names, roles, status announced, soft keys pressed through AT-SPI")
PY
kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
echo "PASS: the accessible tree of the main window and the channel list"
