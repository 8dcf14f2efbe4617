# Sourced by the script tests that start the program: a scratch folder for
# the run, the program's data and runtime folders inside it, and an end
# that stops what the script started and removes the folder.
#
#   scratch_pid_names="program_pid bus_pid"   # the variables holding pids
#   start_scratch_session
#
# After it: $work is the scratch folder, XDG_DATA_HOME/lumora,
# XDG_CACHE_HOME and XDG_RUNTIME_DIR exist, and fail MESSAGE ends the test, showing
# $work/lumora.log when the script wrote one.

fail() {
    echo "FAIL: $*" >&2
    [ -f "${work:-}/lumora.log" ] && sed 's/^/  log: /' "$work/lumora.log" >&2
    exit 1
}

end_scratch_session() {
    local name pid
    for name in ${scratch_pid_names:-}; do
        pid=${!name:-}
        [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}

start_scratch_session() {
    work=$(mktemp -d)
    trap end_scratch_session EXIT
    export XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_DATA_HOME/lumora" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}

# An update server on 127.0.0.1 that offers the build's shipped catalogue
# under a version newer than any, its download held back DELAY seconds (0:
# at once). Sets $port and $server_pid; call with $build set. Returns once
# the marker answers.
start_newer_catalogue_server() {  # DELAY
    "$build/lumora-data" dump "$build/Channels.lmch" >"$work/catalogue.json" ||
        fail "cannot dump the catalogue"
    python3 - "$work/catalogue.json" <<'PY' || fail "cannot raise the catalogue version"
import json, sys
document = json.load(open(sys.argv[1]))
document["name"] = "9999.0.0.1"  # newer than any shipped version
json.dump(document, open(sys.argv[1], "w"))
PY
    "$build/lumora-data" build "$work/catalogue.json" "$work/newer.lmch" ||
        fail "cannot build the catalogue"
    "$build/lumora-data" publish "$work/newer.lmch" "$work/site" >/dev/null || fail "cannot publish"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    python3 - "$work/site" "$port" "$1" >/dev/null 2>&1 <<'PY' &
import functools, http.server, sys, time
class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.endswith("Channels.lmch"):
            time.sleep(float(sys.argv[3]))
        return super().do_GET()
handler = functools.partial(Handler, directory=sys.argv[1])
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[2])), handler).serve_forever()
PY
    server_pid=$!
    local i
    for ((i = 0; i < 50; i++)); do
        python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/downloads/mobile/cupdate.dat')" 2>/dev/null && return
        sleep 0.1
    done
    fail "the update server did not answer"
}
