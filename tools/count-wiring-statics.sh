#!/usr/bin/env bash
# Lists the statics that hold the program's state: function-local statics,
# mutable variables at namespace scope (an extern one counts where it is
# defined), in the program's libraries. Left out: functions declared static, constants,
# once_flags and the loaders of libraries that are opened once
# (library initialisation, not program state). The last line is the count.
# Usage: bash tools/count-wiring-statics.sh [tree]
set -euo pipefail
cd "${1:-.}"
folders=(document catalogue playlist net player shell guide record probe resources)
{
    # Function-local statics holding data (not static member functions).
    grep -rnE '^\s+static\s' --include=*.cpp "${folders[@]}" |
        grep -vE 'static\s+(constexpr|const\s)|static_cast' |
        grep -vE '^[^:]+:[0-9]+:\s+static\s[^=;]*\(' || true
    # Mutable variables at namespace scope.
    grep -rnE '^(static\s+)?(thread_local\s+)?[A-Za-z_][A-Za-z0-9_:<>, ]*[ *&]+[a-zA-Z_][A-Za-z0-9_]*(\[[^]]*\])?\s*(=[^=].*|\{.*\})?;\s*(//.*)?$' \
        --include=*.cpp "${folders[@]}" |
        grep -vE ':(using|namespace|struct|class|enum|return|typedef|friend|template|#)\b' |
        grep -vE 'constexpr|^[^:]+:[0-9]+:(static\s+)?const\s' || true
} | grep -vE 'std::once_flag|:\s+static bool (ready|installed) = false;|static (Loader|EngineModule) |OpenCanberra|kNoEvent' |
    sort -u | tee /dev/stderr | wc -l
