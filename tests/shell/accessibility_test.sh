#!/usr/bin/env bash
# What a screen reader sees, through AT-SPI (the accessibility bus of the
# Linux desktop) on a private session bus and a private X server: the main
# window's buttons, volume slider, title strip and soft keys carry their
# names and roles; pressing Play through its accessible action plays the
# test card and the status line announces "Playing" as an object event;
# pressing the "Channels" soft key through its action opens the channel
# list, whose tabs (with their counts, the current one selected), soft keys
# and rows are there with their texts; its "Close" soft key closes it.
# Then each window of the main menu (settings, about, guide grid,
# recordings, the update's message as an alert) is opened through the
# menu's accessible actions: named by its title, with the controls it must
# hold, every control in view that takes the keyboard named (a chooser by
# its label), and Esc closes it.
#
# Usage: accessibility_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no X server, dbus-daemon,
# at-spi2-core or python3-pyatspi).
set -u
build=$(cd "${1:?usage: accessibility_test.sh BUILD_DIR}" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
command -v dbus-daemon >/dev/null 2>&1 || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
command -v xdotool >/dev/null 2>&1 || { echo "SKIP: xdotool is not installed"; exit 77; }
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
import subprocess
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

def labels(node):
    """The texts of the labels that name a node."""
    found = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            found += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return found

# Roles whose name is their value, so that their label names them.
valued = {pyatspi.ROLE_COMBO_BOX}

def unnamed_controls(window):
    """The controls in view that take the keyboard but have no name."""
    bad = []
    for node in walk(window):
        states = node.getState()
        if not (states.contains(pyatspi.STATE_FOCUSABLE) and showing(node)):
            continue
        if node.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_MENU_ITEM):
            continue
        named = labels(node) if node.getRole() in valued else (node.name or labels(node))
        if not named:
            bad.append(f"{node.getRoleName()} {node.name!r}")
    return bad

def key(name):
    subprocess.run(["xdotool", "key", name], check=False)
    spin(0.2)

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
unnamed = unnamed_controls(dialog)
check(not unnamed, f"channel list controls without a name: {unnamed}")
press(dialog_keys.getChildAtIndex(1))
check(until(lambda: channel_list() is None, 10), "Close did not close the channel list")
check(not unnamed_controls(app.getChildAtIndex(0)), "main window controls without a name")

# Every window the main menu opens: the window by its title, what it must
# hold (role, name, label), every control named. The menu is a popup, which
# Qt leaves out of the application's children; it is found when it shows.
menus = []
def on_showing(event):
    if event.detail1 == 1 and event.source is not None and event.source.getRole() == pyatspi.ROLE_POPUP_MENU:
        menus.append(event.source)
pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
def choose(entry):
    menus.clear()
    menu_key.queryAction().doAction(action_names(menu_key).index("ShowMenu"))
    menu = until(lambda: menus[-1] if menus else None, 10)
    check(menu is not None, "the Menu soft key showed no menu")
    item = find(menu, pyatspi.ROLE_MENU_ITEM, where=lambda n: n.name.split("\t")[0] == entry)
    check(item is not None, f"no menu entry {entry!r}")
    # With the keyboard, as a user does: the entry's action would hold the
    # answer until the modal window it opens is closed.
    def active():
        for i in range(menu.childCount):
            node = menu.getChildAtIndex(i)
            if node.getState().contains(pyatspi.STATE_FOCUSED) or node.getState().contains(pyatspi.STATE_SELECTED):
                return node.name.split("\t")[0]
    for _ in range(menu.childCount + 1):
        key("Down")
        if until(active, 2) == entry:
            key("Return")
            return
    check(False, f"the keyboard did not reach {entry!r} in the menu")
def top(name, role=pyatspi.ROLE_DIALOG):
    app.clearCache()
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window.getRole() == role and window.name == name and showing(window):
            return window
L = "label"  # a control named through its label: (role, label text)
windows = [
    ("Settings", "Settings", pyatspi.ROLE_DIALOG, [
        (L, pyatspi.ROLE_COMBO_BOX, "Language:"),
        (pyatspi.ROLE_CHECK_BOX, "Check for channel updates at start"),
        (pyatspi.ROLE_TEXT, "Channel source"),
        (pyatspi.ROLE_TEXT, "Guide"),
        (pyatspi.ROLE_SPIN_BUTTON, "Pause live TV, minutes (0: off)"),
        (L, pyatspi.ROLE_COMBO_BOX, "Audio:"),
        (L, pyatspi.ROLE_COMBO_BOX, "Subtitles:"),
        (pyatspi.ROLE_TEXT, "Provider account"),
        (pyatspi.ROLE_TEXT, "User name"),
        (pyatspi.ROLE_PASSWORD_TEXT, "Password"),
        (pyatspi.ROLE_PUSH_BUTTON, "OK"), (pyatspi.ROLE_PUSH_BUTTON, "Cancel")]),
    ("About", "About Lumora", pyatspi.ROLE_DIALOG, [(pyatspi.ROLE_PUSH_BUTTON, "OK")]),
    ("TV guide", "TV guide", pyatspi.ROLE_DIALOG, [
        (pyatspi.ROLE_FILLER, "Lumora Test Card, No programme information"),
        (pyatspi.ROLE_PUSH_BUTTON, "Watch"), (pyatspi.ROLE_PUSH_BUTTON, "Menu")]),
    ("Recordings", "Recordings", pyatspi.ROLE_DIALOG, [
        (pyatspi.ROLE_LIST, "Recordings"),
        (pyatspi.ROLE_PUSH_BUTTON, "Play"), (pyatspi.ROLE_PUSH_BUTTON, "Menu")]),
    # Off the network the update ends in a message, which reads as an alert.
    ("Update channels", "Lumora", pyatspi.ROLE_ALERT, [(pyatspi.ROLE_PUSH_BUTTON, "OK")]),
]
for entry, title, role, expected in windows:
    choose(entry)
    window = until(lambda: top(title, role), 20)
    check(window is not None, f"{entry}: no {role} named {title!r}")
    for row in expected:
        if row[0] == L:
            node = until(lambda: find(window, row[1], where=lambda n: row[2] in labels(n)))
        else:
            node = until(lambda: find(window, row[0], row[1], showing))
        check(node is not None, f"{entry}: no {row}")
    unnamed = unnamed_controls(window)
    check(not unnamed, f"{entry}: controls without a name: {unnamed}")
    # Esc ends every one of them.
    key("Escape")
    check(until(lambda: top(title, role) is None, 10), f"{entry}: Esc did not close it")
print("PASS: names, roles, status announced, soft keys pressed through AT-SPI")
PY
kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
echo "PASS: the accessible tree of the main window and the channel list"
