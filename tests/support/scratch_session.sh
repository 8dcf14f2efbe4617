# Sourced by the script tests that start the program: a scratch folder for
# the run, the program's data and runtime folders inside it, and an end
# that stops what the script started and removes the folder.
#
#   scratch_pid_names="program_pid bus_pid"   # the variables holding pids
#   start_scratch_session
#
# After it: $work is the scratch folder, XDG_DATA_HOME/lumora and
# XDG_RUNTIME_DIR exist, and fail MESSAGE ends the test, showing
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
    export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_DATA_HOME/lumora" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
}
