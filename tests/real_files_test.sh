#!/bin/bash
# tests/real_files_test.sh CLI TABLE: the DICOM files of pydicom's own tests
# (Debian's python3-pydicom), those DCMTK reads, through a run with the
# DICOM Basic Profile and its undo:
#   - no copy holds an attribute the profile removes (TABLE's X, a private
#     group), at any depth;
#   - dciodvfy (dicom3tools) finds nothing in a copy that it did not find
#     in its original, values aside; an original it cannot read at all is
#     not compared, and neither is what the toolkit's file writer adds to a
#     meta header that lacked the SOP class and instance (a run without the
#     profile writes the same);
#   - the undo gives back every dataset, but for how sequence lengths are
#     encoded.
# Prints the counts; fails on the first kind of finding.
set -u
cli=$1
table=$2
files=/usr/lib/python3/dist-packages/pydicom/data/test_files
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/orig"
for f in "$files"/*.dcm; do
  if dcmdump -q "$f" >/dev/null 2>&1; then
    cp "$f" "$work/orig/$(basename "${f%.dcm}").ima"
  fi
done
cp -r "$work/orig" "$work/run"
"$cli" --profile basic "$work/run" >"$work/run.log" 2>&1 || {
  cat "$work/run.log"
  exit 1
}
status=0

# The tags of every attribute at every depth, as gggg,eeee.
tags() { dcmdump -q +L "$1" 2>/dev/null | sed -n 's/^ *(\([0-9a-f]\{4\},[0-9a-f]\{4\}\)).*/\1/p'; }
# The table's X rows, as patterns for grep: x for any digit.
patterns=$(awk -F'"' 'NR > 1 && $3 ~ /^,[^,]*,[YN],[YN],X,/ { print tolower($2) }' "$table" |
  tr -d '()' | sed 's/x/[0-9a-f]/g; s/^/^/; s/$/$/')
removed=0 attributes=0
for copy in "$work"/run/*.ima; do
  all=$(tags "$copy")
  attributes=$((attributes + $(printf '%s\n' "$all" | grep -c .)))
  found=$(printf '%s\n' "$all" | grep -e '^[0-9a-f]\{3\}[13579bdf],' $(printf -- '-e %s ' $patterns) || true)
  if [ -n "$found" ]; then
    echo "$(basename "$copy") holds what the profile removes: $found"
    removed=$((removed + 1))
  fi
done
echo "$(ls "$work"/run/*.ima | wc -l) copies, $attributes attributes, $removed with one the profile removes"
[ $removed -eq 0 ] || status=1

# dciodvfy's findings without the values they quote.
findings() {
  dciodvfy "$1" 2>&1 | grep -E '^(Error|Warning)' |
    sed -E 's/<[^>]*>/<>/g; s/\[[^]]*\]/[]/g; s/\b[0-9][0-9.]*\b//g' | sort -u
}
compared=0 unreadable=0 worse=0
while IFS=, read -r old new _; do
  findings "$work/orig/$old" >"$work/before"
  if grep -q -e 'Dicom dataset read failed' -e 'Tags out of order' "$work/before"; then
    unreadable=$((unreadable + 1))
    continue
  fi
  compared=$((compared + 1))
  findings "$work/run/$new" | grep -v 'MediaStorageSOP.* but missing SOP' >"$work/after"
  added=$(comm -13 "$work/before" "$work/after")
  if [ -n "$added" ]; then
    echo "$old: dciodvfy finds in its copy $new: $added"
    worse=$((worse + 1))
  fi
done < <(tail -n +2 "$work/run/anonymous_record.csv" | tr -d '\r')
echo "dciodvfy: $compared copies compared, $worse with a finding their original lacks, $unreadable originals it cannot read"
[ $worse -eq 0 ] || status=1

"$cli" --restore "$work/run" >"$work/undo.log" 2>&1 || {
  cat "$work/undo.log"
  exit 1
}
dataset() {
  dcmdump -q +L -M +E "$1" 2>/dev/null | sed -n '/^# Dicom-Data-Set/,$p' |
    grep -av -e '^#' -e '(fffe,e0[0d]d)' -e '(fffe,e000)' -e '^ *([0-9a-f]\{4\},0000)' |
    sed -E 's/\(Sequence with [a-z]+ length.*//; s/ *#.*//'
}
back=0 different=0
for original in "$work"/orig/*.ima; do
  name=$(basename "$original")
  if [ "$(dataset "$original")" = "$(dataset "$work/run/$name")" ]; then
    back=$((back + 1))
  else
    echo "$name does not come back as it was"
    different=$((different + 1))
  fi
done
echo "undo: $back datasets back as they were, $different not"
[ $different -eq 0 ] || status=1
exit $status
