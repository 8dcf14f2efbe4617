#!/usr/bin/env bash
# Checks every tracked C++ source against the house style in .clang-format.
# With --fix it formats them in place instead.
set -u
top=$(cd "${1:-$(dirname "$0")/..}" && pwd)
mode=${2:-}
cd "$top" || exit 1
command -v clang-format >/dev/null || { echo "clang-format is not installed (make deps)"; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t sources < <(find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
if [ "$mode" = --fix ]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "Sources differ from .clang-format; run: make format"
  exit 1
fi
echo "${#sources[@]} sources follow the house style"
