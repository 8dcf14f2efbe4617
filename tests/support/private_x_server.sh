# Sourced by the tests that need a real X window (no window manager).
#
#   run_in_private_x_server WIDTHxHEIGHT SCRIPT ARGUMENTS...
#
# Outside the server it starts a private X server (xvfb-run, 24 bits,
# 96 dpi, no TCP), runs SCRIPT with its arguments again inside it and exits
# with that run's code: 77 (skipped) when Xvfb is missing or the server
# could not be started. Inside the server it returns, and the script goes on
# with DISPLAY set to the private server.
run_in_private_x_server() {
    local size=$1 script=$2
    shift 2
    if [ "${LUMORA_X_INNER:-}" = 1 ]; then
        touch "$LUMORA_X_MARKER"
        return 0
    fi
    if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v Xvfb >/dev/null 2>&1; then
        echo "SKIP: Xvfb is not installed"
        exit 77
    fi
    local marker code
    marker=$(mktemp)
    rm -f "$marker"
    LUMORA_X_INNER=1 LUMORA_X_MARKER="$marker" \
        xvfb-run -a -s "-screen 0 ${size}x24 -dpi 96 -nolisten tcp" bash "$script" "$@"
    code=$?
    if [ ! -e "$marker" ]; then
        echo "SKIP: the X server could not be started"
        exit 77
    fi
    rm -f "$marker"
    exit $code
}
