#!/bin/bash
# Builds Veilmark for 64-bit Windows on Debian 12 and packs it:
#   dist/veilmark-VERSION-setup.exe       the setup program (NSIS): installs
#                                         both programs under Program Files
#                                         for every user, with a Start menu
#                                         entry and an uninstaller
#   dist/veilmark-VERSION-windows-x64.zip the two programs, the README with
#                                         its docs/ and the licence, for use
#                                         without installing
# VERSION comes from project() in CMakeLists.txt. The libraries the programs
# are built with (DCMTK, wxWidgets) come from scripts/windows-deps.sh, built
# once from Debian's own sources and kept in ~/.cache/veilmark. The programs
# are linked statically: they need no DLL but Windows' own.
#   ./scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

say() { echo "== $*"; }

prefix=$(./scripts/windows-deps.sh | tail -1)
for tool in makensis zip; do
  if ! command -v "$tool" >/dev/null; then
    echo "package-windows: $tool is missing; scripts/windows-deps.sh installs it" >&2
    exit 1
  fi
done
version=$(sed -n 's/^project(Veilmark VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

say "build (Release, no tests) in build-windows-package/"
build=build-windows-package
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DVEILMARK_MINGW_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target veilmark veilmark-cli

say "stage"
stage=$build/stage
rm -rf "$stage"
mkdir -p "$stage" dist
x86_64-w64-mingw32-strip -o "$stage/Veilmark.exe" "$build/bin/veilmark.exe"
x86_64-w64-mingw32-strip -o "$stage/veilmark-cli.exe" "$build/bin/veilmark-cli.exe"
cp README.md "$stage/README.md"
# The pages the README links to, in docs/ beside it as in the source tree,
# and the setup program's list of them: what it installs, and what its
# uninstaller removes again.
mkdir -p "$stage/docs"
cp docs/*.md "$stage/docs/"
{
  echo '!macro InstallDocs'
  echo '  SetOutPath "$INSTDIR\docs"'
  for page in "$stage"/docs/*.md; do
    echo "  File \"\${STAGE}/docs/${page##*/}\""
  done
  echo '  SetOutPath "$INSTDIR"'
  echo '!macroend'
  echo '!macro UninstallDocs'
  for page in "$stage"/docs/*.md; do
    echo "  Delete \"\$INSTDIR\\docs\\${page##*/}\""
  done
  echo '  RMDir "$INSTDIR\docs"'
  echo '!macroend'
} >"$stage/docs.nsh"
cp packaging/copyright "$stage/LICENCE.txt"
cp "$build/packaging/windows/veilmark.ico" "$stage/veilmark.ico"
# Nothing but Windows' own DLLs: the programs run from the zip as they are.
for program in "$stage"/*.exe; do
  x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p' |
    tr '[:upper:]' '[:lower:]' | while read -r dll; do
      case $dll in
        advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | iphlpapi.dll | \
          kernel32.dll | msvcrt.dll | netapi32.dll | ole32.dll | oleacc.dll | \
          oleaut32.dll | shell32.dll | shlwapi.dll | user32.dll | uxtheme.dll | \
          version.dll | winspool.drv | ws2_32.dll) ;;
        *)
          echo "package-windows: $program needs $dll, which Windows does not have" >&2
          exit 1
          ;;
      esac
    done
done

say "pack"
zip_file=dist/veilmark-$version-windows-x64.zip
setup_file=dist/veilmark-$version-setup.exe
rm -f "$zip_file" "$setup_file"
(cd "$stage" && zip -X -q "../../$zip_file" Veilmark.exe veilmark-cli.exe README.md docs/*.md \
  LICENCE.txt)
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DOUTFILE="$PWD/$setup_file" \
  packaging/windows/veilmark.nsi
ls -l "$setup_file" "$zip_file"
