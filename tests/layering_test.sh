#!/bin/bash
# Each room of the program includes only its own headers and those of the
# rooms below it, lowest first as listed here; a file in platform/posix/ or
# platform/win32/ belongs to the room of the header it implements.
# Prints each include that reaches up, and fails if there is one.
set -u
cd "$(dirname "$0")/.."
rooms=(platform/system platform/framework text dicom profile key pipeline undo anonymize ui cli app platform/wx)
rank() {
  local i
  for i in "${!rooms[@]}"; do [ "${rooms[$i]}" = "$1" ] && echo "$i" && return; done
  echo -1
}
room() {
  case $1 in
    platform/posix/* | platform/win32/*)
      local base
      base=$(basename "${1%.*}")
      if [ -f "platform/framework/$base.h" ]; then echo platform/framework; else echo platform/system; fi ;;
    platform/system/* | platform/framework/* | platform/wx/*) echo "${1%/*}" ;;
    *) echo "${1%%/*}" ;;
  esac
}
status=0
while read -r file; do
  from=$(room "$file")
  below=$(rank "$from")
  while read -r header; do
    to=$(room "$header")
    [ "$(rank "$to")" -le "$below" ] && continue
    echo "$file ($from) includes $header ($to)"
    status=1
  done < <(sed -n 's/^#include "\([a-z_]*\/[^"]*\)"$/\1/p' "$file" | grep -v '^dcmtk/')
done < <(git ls-files -- '*.cc' '*.h' | grep -E "^($(IFS='|'; echo "${rooms[*]}"))/" | grep -v '_test\.cc$')
exit $status
