#!/usr/bin/env bash
# Start-up time: Lumora from process start to its main window on screen
# with the shipped catalogue, against a Qt program that shows one empty
# window (minimal_window), measured in the same run. Both run on a private
# Xvfb server (xcb), and again with the offscreen platform; the rounds
# alternate the two programs so both see the same machine load. The user's
# folder is prepared with "first_run" false, so the first-run dialog does
# not come; the update check at start runs, against a closed local port.
#   bench/startup/run_startup.sh BUILD_DIR
# LUMORA_BENCH_ROUNDS sets the number of measured rounds (default 10).
set -euo pipefail
build=$(realpath "${1:?usage: run_startup.sh BUILD_DIR}")
probe="$build/bench/startup/lumora_startup_probe"
minimal="$build/bench/startup/minimal_window"
data_tool="$build/lumora-data"
for program in "$probe" "$minimal" "$data_tool"; do
  [ -x "$program" ] || { echo "missing $program: build the bench targets first" >&2; exit 1; }
done
for file in Channels.lmch Languages.lngp Resources.velt cbuild.velt; do
  [ -f "$build/$file" ] || { echo "missing $build/$file: build the data files first" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Settings.cfg with the first start behind it. Port 9 (discard) is closed on
# a test machine: the update check fails at once, as without a network.
cat > "$work/settings.json" <<'JSON'
{"name": "set", "attributes": [], "children": [
  {"name": "options", "attributes": [
    {"name": "first_run", "type": "Bool", "value": false},
    {"name": "update_server", "type": "WString", "value": "http://127.0.0.1:9"}
  ], "children": []}
]}
JSON
"$data_tool" build "$work/settings.json" "$work/Settings.cfg" > /dev/null

display=""
if command -v Xvfb > /dev/null; then
  exec 3> "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  [ -s "$work/display" ] && display=":$(head -n1 "$work/display")"
fi
[ -n "$display" ] || echo "no Xvfb: measuring with the offscreen platform only" >&2

python3 - "$work" "$probe" "$minimal" "$build" "$display" "${LUMORA_BENCH_ROUNDS:-10}" <<'PY'
import os, shutil, statistics, subprocess, sys, tempfile, time

work, probe, minimal, build, display, rounds = sys.argv[1:7]
rounds = int(rounds)
programs = {"lumora": [probe, build], "minimal": [minimal]}

def environment(platform, data_home):
    env = dict(os.environ)
    for name in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "QT_QPA_PLATFORMTHEME"):
        env.pop(name, None)
    env.update(XDG_DATA_HOME=data_home, LUMORA_MPV_AO="null", QT_QPA_PLATFORM=platform)
    if platform == "xcb":
        env["DISPLAY"] = display
    return env

def run_once(name, platform, data_home):
    # A fresh runtime folder: no lock or socket of an earlier run is left.
    runtime = tempfile.mkdtemp(dir=work, prefix="runtime-")
    os.chmod(runtime, 0o700)
    env = environment(platform, data_home)
    env["XDG_RUNTIME_DIR"] = runtime
    started = time.clock_gettime_ns(time.CLOCK_BOOTTIME)
    done = subprocess.run(programs[name], env=env, capture_output=True, text=True, timeout=60)
    shutil.rmtree(runtime, ignore_errors=True)
    marks, proc_start = {}, None
    for line in done.stdout.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "mark":
            marks[fields[1]] = int(fields[2])
        elif len(fields) == 2 and fields[0] == "proc_start":
            proc_start = int(fields[1])
    if "shown" not in marks:
        sys.exit(f"{name} ({platform}) did not show its window (exit {done.returncode}):\n"
                 f"{done.stdout}{done.stderr}")
    marks["spawn"] = started
    marks["proc_start"] = proc_start
    return marks

def ms(ns):
    return ns / 1e6

def measure(platform):
    homes = {}
    for name in programs:
        homes[name] = os.path.join(work, f"data-{platform}-{name}")
        os.makedirs(os.path.join(homes[name], "lumora"))
        shutil.copy(os.path.join(work, "Settings.cfg"), os.path.join(homes[name], "lumora"))
    # One start each first: the user's catalogue is copied from the shipped
    # one at the first start, and the file cache is filled.
    for name in programs:
        run_once(name, platform, homes[name])
    runs = {name: [] for name in programs}
    for round in range(rounds):
        order = list(programs) if round % 2 == 0 else list(reversed(programs))
        for name in order:
            runs[name].append(run_once(name, platform, homes[name]))
    return runs

def median_of(runs, start, end):
    return statistics.median(ms(run[end] - run[start]) for run in runs)

platforms = (["xcb"] if display else []) + ["offscreen"]
results = {platform: measure(platform) for platform in platforms}

for platform in platforms:
    runs = results[platform]
    print(f"-- {platform}: medians of {rounds} starts each, alternating, ms")
    print(f"   {'':24}{'lumora':>9}{'minimal':>9}{'ratio':>7}")
    for label, start in (("exec to window shown", "spawn"), ("main() to window shown", "main"),
                         ("kernel start to shown", "proc_start")):
        lumora, bare = median_of(runs["lumora"], start, "shown"), median_of(runs["minimal"], start, "shown")
        print(f"   {label:24}{lumora:9.1f}{bare:9.1f}{lumora / bare:7.2f}")
    print(f"   lumora's start-up, step by step (median of each step):")
    steps = (("exec to main()", "spawn", "main"),
             ("QApplication", "main", "application"),
             ("guard, settings, languages, resources, splash", "application", "splash_shown"),
             ("splash on screen", "splash_shown", "splash_exposed"),
             ("splash head start", "splash_exposed", "frame_building"),
             ("main window: menu, soft keys; catalogue load", "frame_building", "view_building"),
             ("player view: bars, player, update check, timer", "view_building", "frame_show"),
             ("main window shown to exposed", "frame_show", "exposed"),
             ("first paint and flush", "exposed", "shown"))
    for label, start, end in steps:
        if all(start in run and end in run for run in runs["lumora"]):
            print(f"     {label:50}{median_of(runs['lumora'], start, end):8.1f}")
    print(f"   minimal: exec to main() {median_of(runs['minimal'], 'spawn', 'main'):.1f},"
          f" QApplication {median_of(runs['minimal'], 'main', 'application'):.1f},"
          f" window {median_of(runs['minimal'], 'application', 'shown'):.1f}")

main_platform = platforms[0]
runs = results[main_platform]
lumora = median_of(runs["lumora"], "spawn", "shown")
bare = median_of(runs["minimal"], "spawn", "shown")
print(f"-- the figure ({main_platform}, exec to window shown):")
print(f"startup: lumora {lumora:.1f} ms, minimal {bare:.1f} ms, ratio {lumora / bare:.2f} (target <= 2.0)")
PY
