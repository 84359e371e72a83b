#!/bin/bash
# The Windows build's veilmark-cli.exe, under wine, against the Linux
# build's veilmark-cli over copies of one folder: the same log lines (but
# for the path separator), the same names, the same record and the same
# bytes in every file; then the same for an undo, and a folder named in
# other scripts than Latin.
#   same_as_linux_test.sh LINUX_BIN WINDOWS_CLI EMULATOR...
set -euo pipefail
linux=$1 exe=$2
shift 2
emulator=("$@")
export LC_ALL=C.UTF-8  # wine reads the command line's bytes as UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# same NAME A B: the two folders hold the same names, each with the same bytes.
same() {
  diff <(ls -A "$2") <(ls -A "$3") >&2 || fail "$1: the names differ"
  for name in "$2"/*; do
    cmp -s "$name" "$3/${name##*/}" || fail "$1: ${name##*/} differs"
  done
}

# Colliding patients, a value read from the file as the copy is written,
# and a file that is no DICOM at all.
"$linux/veilmark-fixtures" source 30 >/dev/null
"$linux/veilmark-fixtures" big 3 3000000 >/dev/null
for f in big/*; do cp "$f" "source/B${f##*/}"; done
echo "not DICOM" >source/IMBAD.ima
cp -r source li
cp -r source wi

set +e
"$linux/veilmark-cli" li >li.log
linux_status=$?
"${emulator[@]}" "$exe" wi >wi.log
windows_status=$?
set -e
[ "$linux_status" = "$windows_status" ] ||
  fail "exit status $windows_status under wine, $linux_status here"
grep -q "^Done\. 33 file(s) modified\.\$" li.log || fail "the Linux run: $(tail -1 li.log)"
diff <(sed 's|li/|FOLDER/|g' li.log) <(tr '\\' '/' <wi.log | sed 's|wi/|FOLDER/|g') >&2 ||
  fail "the logs differ"
same "a run" li wi

"$linux/veilmark-cli" --restore li >/dev/null || true
"${emulator[@]}" "$exe" --restore wi >wi-undo.log || true
grep -q "^Done\. 33 file(s) restored\.\$" wi-undo.log || fail "the undo under wine: $(tail -1 wi-undo.log)"
same "an undo" li wi

# A folder named in Latin, Japanese and Chinese characters.
folder="Müller 山田 王"
cp -r source "$folder"
"${emulator[@]}" "$exe" "$folder" >named.log || true
grep -q "^Done\. 33 file(s) modified\.\$" named.log || fail "the named folder: $(tail -1 named.log)"
"${emulator[@]}" "$exe" --restore "$folder" >/dev/null || true
same "a named folder, undone" li "$folder"
echo "same as Linux: a run, an undo, a folder named $folder"
