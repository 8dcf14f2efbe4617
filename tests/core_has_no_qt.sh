#!/usr/bin/env bash
# Fails when a core source includes a Qt header. The core is document/, record/,
# catalogue/, playlist/, guide/, and the update logic in net/.
set -u
top=${1:-.}
hits=$(grep -lE '#\s*include\s*[<"]Q' \
         "$top"/document/*.{h,cpp} "$top"/catalogue/*.{h,cpp} "$top"/net/update_logic*.{h,cpp} "$top"/net/playlist_source.{h,cpp} "$top"/net/fetch_reply.h \
         "$top"/playlist/*.{h,cpp} "$top"/guide/*.{h,cpp} "$top"/record/*.{h,cpp} 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Qt headers in the core:"; echo "$hits"; exit 1
fi
echo "core is free of Qt"
