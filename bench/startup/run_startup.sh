#!/usr/bin/env bash
# Start-up, measured in one run on a private Xvfb server (xcb), with the
# rounds alternating the programs so that all see the same machine load:
#   - Lumora from exec to its main window on screen with the shipped
#     catalogue (lumora_startup_probe: the program's own start-up function,
#     watched by event filters), against the command-line player
#     `mpv --no-config --vo=x11 --ao=null` from exec to the first picture of
#     a loopback stream. Target: at most 0.8x.
#   - Lumora with a 100,000-channel catalogue against Lumora with a
#     4-channel one, exec to main window shown (with its catalogue taken,
#     which the window does before it is shown). Target: at most 1.5x.
# Both programs play without a sound device (Lumora: LUMORA_MPV_AO=null).
# The user's folder is prepared with "first_run" false, so the first-run
# dialog does not come; the update check at start runs, against a closed
# local port. Medians of the rounds; the process CPU times are printed too.
#   bench/startup/run_startup.sh BUILD_DIR
# LUMORA_BENCH_ROUNDS sets the number of measured rounds (default 15).
set -euo pipefail
build=$(realpath "${1:?usage: run_startup.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
probe="$build/bench/startup/lumora_startup_probe"
data_tool="$build/lumora-data"
server_script="$here/../../tests/player/stream_server.py"
for program in "$probe" "$data_tool"; do
  [ -x "$program" ] || { echo "missing $program: build the bench targets first" >&2; exit 1; }
done
for file in Channels.lmch Languages.lngp Resources.velt cbuild.velt; do
  [ -f "$build/$file" ] || { echo "missing $build/$file: build the data files first" >&2; exit 1; }
done
for tool in Xvfb mpv ffmpeg; do
  command -v "$tool" > /dev/null || { echo "no $tool: the start-up comparison needs it (tools/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=""
server_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
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

# The two generated catalogues: 4 channels, and 100,000 channels in 200
# countries whose sizes fall off as in real catalogues.
python3 - "$work" <<'PY'
import json, sys
work = sys.argv[1]
categories = ["l", "mu", "n", "r", "sp", "e", "mo", "k", "ad"]
def code(i):
    return chr(ord("a") + i // 26) + chr(ord("a") + i % 26)
def catalogue(total, countries):
    # Each country a fifth of what is left, keeping one for each to come.
    sizes, left = [], total
    for c in range(countries):
        later = countries - c - 1
        size = left if later == 0 else max(1, (left - later) // 5)
        sizes.append(size)
        left -= size
    root, serial = {"name": "2026.12.1", "children": []}, 0
    for c, size in enumerate(sizes):
        country = {"name": code(c), "children": []}
        for n in range(size):
            streams = [{"name": str(s), "attributes": [
                {"name": "b", "type": "Int", "value": 300 + 100 * s},
                {"name": "u", "type": "WString", "value": f"http://127.0.0.1:9/{code(c)}/{n}/{s}.ts"}]}
                for s in range(serial % 3 + 1)]
            country["children"].append({"name": f"ch{n}", "attributes": [
                {"name": "n", "type": "WString", "value": f"Channel {serial * 7919 % 100000}"},
                {"name": "p", "type": "String", "value": "p"},
                {"name": "c", "type": "String", "value": categories[serial % 9]}], "children": streams})
            serial += 1
        root["children"].append(country)
    return root
for name, total, countries in (("4", 4, 2), ("100k", 100000, 200)):
    with open(f"{work}/channels-{name}.json", "w") as out:
        json.dump(catalogue(total, countries), out)
PY
for name in 4 100k; do
  "$data_tool" build "$work/channels-$name.json" "$work/Channels-$name.lmch" > /dev/null
done

# The loopback stream for mpv.
ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 12 \
  -c:v libx264 -preset ultrafast -g 25 -c:a aac -f mpegts "$work/stream.ts"
python3 "$server_script" --root "$work" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/PORT/ {print $2}' "$work/port")

exec 3> "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$work/display")"

python3 - "$work" "$probe" "$build" "$display" "http://127.0.0.1:$port/stream.ts" \
  "${LUMORA_BENCH_ROUNDS:-15}" "$here/.." <<'PY'
import os, shutil, statistics, subprocess, sys, tempfile, time

work, probe, build, display, stream, rounds, bench_dir = sys.argv[1:8]
rounds = int(rounds)
sys.path.insert(0, bench_dir)
import bench_results

# Lumora with three catalogues (None: the shipped one, copied into the
# user's folder at the first start), and mpv.
catalogues = {"lumora-shipped": None, "lumora-4": "Channels-4.lmch", "lumora-100k": "Channels-100k.lmch"}
programs = list(catalogues) + ["mpv"]

def environment():
    env = dict(os.environ)
    for name in ("WAYLAND_DISPLAY", "SESSION_MANAGER", "QT_QPA_PLATFORMTHEME"):
        env.pop(name, None)
    env.update(LUMORA_MPV_AO="null", QT_QPA_PLATFORM="xcb", DISPLAY=display)
    return env

def now():
    return time.clock_gettime_ns(time.CLOCK_BOOTTIME)

def run_lumora(name, data_home):
    # A fresh runtime folder: no lock or socket of an earlier run is left.
    runtime = tempfile.mkdtemp(dir=work, prefix="runtime-")
    os.chmod(runtime, 0o700)
    env = environment()
    env.update(XDG_DATA_HOME=data_home, XDG_RUNTIME_DIR=runtime)
    out = open(os.path.join(work, "probe.out"), "w+")
    started = now()
    process = subprocess.Popen([probe, build], env=env, stdout=out, stderr=subprocess.STDOUT)
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    shutil.rmtree(runtime, ignore_errors=True)
    out.seek(0)
    text = out.read()
    marks = {}
    for line in text.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[0] == "mark":
            marks[fields[1]] = int(fields[2])
    if "shown" not in marks:
        sys.exit(f"{name} did not show its window (exit {process.returncode}):\n{text}")
    marks["spawn"] = started
    marks["cpu"] = (usage.ru_utime + usage.ru_stime) * 1e3
    return marks

def run_mpv():
    # The first picture is on screen when mpv logs it; mpv is then ended.
    command = ["mpv", "--no-config", "--vo=x11", "--ao=null", "--msg-level=all=warn,cplayer=v", stream]
    started = now()
    process = subprocess.Popen(command, env=environment(), stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    shown = None
    deadline = time.monotonic() + 20
    for line in process.stdout:
        if "first video frame after restart shown" in line:
            shown = now()
            break
        if time.monotonic() > deadline:
            break
    process.terminate()
    process.communicate(timeout=20)
    if shown is None:
        sys.exit("mpv did not show the stream's first picture")
    return {"spawn": started, "shown": shown}

homes = {}
for name, catalogue in catalogues.items():
    homes[name] = os.path.join(work, f"data-{name}")
    os.makedirs(os.path.join(homes[name], "lumora"))
    shutil.copy(os.path.join(work, "Settings.cfg"), os.path.join(homes[name], "lumora"))
    if catalogue:
        shutil.copy(os.path.join(work, catalogue), os.path.join(homes[name], "lumora", "Channels.lmch"))

def run(name):
    return run_mpv() if name == "mpv" else run_lumora(name, homes[name])

# One start each first: the user's catalogue is copied from the shipped
# one at the first start, and the file cache is filled.
for name in programs:
    run(name)
runs = {name: [] for name in programs}
for round in range(rounds):
    order = programs[round % len(programs):] + programs[:round % len(programs)]
    for name in order:
        runs[name].append(run(name))

def ms(ns):
    return ns / 1e6

def median_of(name, start, end):
    return statistics.median(ms(run[end] - run[start]) for run in runs[name])

def cpu_of(name):
    return statistics.median(run["cpu"] for run in runs[name])

print(f"-- medians of {rounds} starts each, rounds alternating, ms (Xvfb, no sound device)")
print(f"   {'':18}{'exec to shown':>14}{'process CPU':>13}")
for name in programs:
    cpu = f"{cpu_of(name):13.1f}" if name != "mpv" else f"{'-':>13}"
    print(f"   {name:18}{median_of(name, 'spawn', 'shown'):14.1f}{cpu}")
print("   lumora's start-up with the shipped catalogue, step by step (median of each step):")
steps = (("exec to main()", "spawn", "main"),
         ("to QApplication", "main", "application"),
         ("QApplication, guard, settings, languages, resources, splash", "application", "splash_shown"),
         ("splash on screen", "splash_shown", "splash_exposed"),
         ("splash painted (head start)", "splash_exposed", "frame_building"),
         ("main window: menu, soft keys; the view takes the catalogue", "frame_building", "view_building"),
         ("player view: bars, update check, timer (player after paint)", "view_building", "frame_show"),
         ("main window shown to exposed", "frame_show", "exposed"),
         ("first paint and flush", "exposed", "shown"))
for label, start, end in steps:
    if all(start in run and end in run for run in runs["lumora-shipped"]):
        print(f"     {label:62}{median_of('lumora-shipped', start, end):8.1f}")
# The catalogue loads on a worker thread from the start on; the window
# takes it while it is built, so it has it once it is on screen.
for name in ("lumora-shipped", "lumora-4", "lumora-100k"):
    if not all("catalogue_in" in run for run in runs[name]):
        sys.exit(f"{name}: the main window was on screen without its catalogue")

bench_results.record_ratio("start: exec to main window shown (shipped catalogue) vs mpv exec to first picture",
                           median_of("lumora-shipped", "spawn", "shown"), median_of("mpv", "spawn", "shown"),
                           "ms", 0.8)
bench_results.record_ratio("start: 100,000 channels vs 4 channels, exec to main window shown",
                           median_of("lumora-100k", "spawn", "shown"), median_of("lumora-4", "spawn", "shown"),
                           "ms", 1.5)
PY
