#!/bin/bash
# Makes what the Windows build of Veilmark needs on this Debian machine: the
# mingw-w64 cross compilers, wine to run what they build, and DCMTK (ofstd,
# oflog, dcmdata), wxWidgets (the MSW port's base and core) and GoogleTest
# built for x86_64-w64-mingw32 as static libraries, from Debian's own sources
# of the versions the Linux build uses. Prints, as its last line, the prefix
# the libraries are in; all else goes to standard error:
#
#   prefix=$(scripts/windows-deps.sh | tail -1)
#   cmake -S . -B build-windows \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DVEILMARK_MINGW_PREFIX="$prefix"
#
# The prefix is ${XDG_CACHE_HOME:-~/.cache}/veilmark/mingw-KEY, KEY a hash of
# this script's recipe (its part from "The recipe" on), of the toolchain
# file and of DCMTK's answers (below), less their comments, and of the
# versions of the sources and of the compiler: a change to any of them
# builds anew into another prefix, and otherwise a run only checks that the
# stamp file, written last, is there. The wine prefix the tests run in is
# ${XDG_CACHE_HOME:-~/.cache}/veilmark/wineprefix.
#
# Runs as root, or as a user who may "sudo apt-get" (needed only when a
# package or the source packages' list is missing). A build takes about 7
# minutes on two cores, 8 beside another build (of which fetching the
# sources 5 s, DCMTK's configure 5 s and wx's 20 s).
#
# DCMTK's configure is given the answers to its checks of the compiler and
# its headers, cmake/dcmtk-configure-answers.cmake, instead of compiling a
# test program for each. "scripts/windows-deps.sh --check-answers" builds
# nothing: it configures DCMTK once with the answers and once asking, as a
# configure without them does (some minutes), compares the headers the two
# write, and writes the answers the second found beside the cache's
# prefixes, to compare with the file (it fails where they differ).
set -euo pipefail

case ${1:-} in
  "") mode=build ;;
  --check-answers) mode=check ;;
  *)
    echo "usage: scripts/windows-deps.sh [--check-answers]" >&2
    exit 2
    ;;
esac

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script=$here/scripts/windows-deps.sh
toolchain=$here/cmake/mingw-w64-x86_64.cmake
answers=$here/cmake/dcmtk-configure-answers.cmake
host=x86_64-w64-mingw32
cache=${XDG_CACHE_HOME:-$HOME/.cache}/veilmark
jobs=$(nproc)

log() { echo "windows-deps: $*" >&2; }
die() { log "$*"; exit 1; }

if [ "$(id -u)" -eq 0 ]; then
  apt=(apt-get)
elif command -v sudo >/dev/null; then
  apt=(sudo apt-get)
else
  apt=()
fi
apt_get() {
  [ ${#apt[@]} -gt 0 ] || die "apt-get $1 needs root, or sudo"
  DEBIAN_FRONTEND=noninteractive "${apt[@]}" -q "$@"
}
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The cross compilers (posix threads: std::thread and std::mutex work), zlib
# for them, wine to run the programs and tests, Xvfb for the dialog's, NSIS
# for an installer and zip for the archive beside it; wine's own fonts
# (Tahoma, the dialog's) and one with the Chinese and Japanese characters
# that patients' names may hold; dpkg-dev and the rest unpack Debian's
# source packages; googletest is GoogleTest's source in /usr/src/googletest.
packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 xvfb xauth nsis zip fonts-wine fonts-wqy-microhei
  cmake make dpkg-dev xz-utils patch googletest
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  apt_get update >&2
  apt_get install -y --no-install-recommends "${missing[@]}" >&2
fi

# The version of package $1 that is installed, else the one apt would install.
deb_version() {
  local v
  v=$(dpkg-query -W -f='${db:Status-Abbrev} ${Version}' "$1" 2>/dev/null | awk '$1 == "ii" { print $2 }')
  [ -n "$v" ] || v=$(apt-cache policy "$1" 2>/dev/null | awk '$1 == "Candidate:" { print $2 }')
  [ -n "$v" ] && [ "$v" != "(none)" ] || die "apt knows no version of $1"
  printf '%s\n' "$v"
}
# The version of the source package of $1: a binary-only upload's "+bN" is
# not in it.
source_version() {
  deb_version "$1" | sed -E 's/\+b[0-9]+$//'
}
# The Linux build's DCMTK and wxWidgets are libdcmtk-dev and libwxgtk3.2-dev.
dcmtk_version=$(source_version libdcmtk-dev)
wx_version=$(source_version libwxgtk3.2-dev)
versions="dcmtk $dcmtk_version
wxwidgets3.2 $wx_version
googletest $(deb_version googletest)
g++-mingw-w64-x86-64-posix $(deb_version g++-mingw-w64-x86-64-posix)
mingw-w64-x86-64-dev $(deb_version mingw-w64-x86-64-dev)
libz-mingw-w64-dev $(deb_version libz-mingw-w64-dev)"
# The key: the versions, the toolchain, DCMTK's answers and the recipe
# below its marker, less comments, so that how the packages and sources are
# found can change without a rebuild.
key=$({
  printf '%s\n' "$versions"
  { sed -n '/^# --- The recipe/,$p' "$script"; cat "$toolchain" "$answers"; } |
    grep -v '^[[:space:]]*\(#.*\)\?$'
} | sha256sum | cut -c1-12)
prefix=$cache/mingw-$key
wineprefix=$cache/wineprefix
stamp=$prefix/stamp

mkdir -p "$cache"
# One build at a time; a second run waits for the first and then takes
# what it built.
exec 9>"$cache/lock"
flock 9

export WINEDEBUG=-all
# Wine's .NET and Internet Explorer stand-ins would be fetched from the
# network at the prefix's first start: Veilmark uses neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The wine prefix is made aside and moved in place when whole. Where the
# dialog's font lacks a character, Windows draws it with the fonts "linked"
# to it: WenQuanYi's here, as Windows would with its own CJK fonts.
if [ ! -d "$wineprefix" ]; then
  log "making the wine prefix $wineprefix"
  rm -rf "$wineprefix.new"
  (
    export WINEPREFIX=$wineprefix.new
    wine wineboot --init || exit 1
    for face in Tahoma "Microsoft Sans Serif" "MS Sans Serif" "Segoe UI"; do
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
        /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f || exit 1
    done
    wineserver -w
  ) </dev/null >"$cache/wineprefix.log" 2>&1 9>&- || die "making the wine prefix failed, see $cache/wineprefix.log"
  mv "$wineprefix.new" "$wineprefix"
fi

if [ "$mode" = build ] && [ -f "$stamp" ]; then
  log "up to date: $prefix"
  echo "$prefix"
  exit 0
fi

# Debian's source packages need a deb-src line, and apt's lists of them.
# Where no deb-src line is configured, each "deb" entry of this release of
# Debian (its suites "bookworm", "bookworm-updates" and so on) gets a
# "deb-src" twin, with the same options (the same Signed-By, which apt
# insists on), in veilmark-deb-src.sources or .list beside it.
have_sources() {
  apt-cache showsrc --only-source dcmtk 2>/dev/null | grep -qx "Version: $dcmtk_version" &&
    apt-cache showsrc --only-source wxwidgets3.2 2>/dev/null | grep -qx "Version: $wx_version"
}
# deb_src_twins CODENAME FILE...: the deb-src twins of FILEs' deb entries for
# CODENAME's suites; FILEs are all deb822 (.sources) or all one-line.
deb_src_twins() {
  local release="^$1(-|\$)"
  shift
  case $1 in
    *.sources)
      awk -v release="$release" '
        BEGIN { RS = ""; ORS = "\n\n" }
        {
          n = split($0, line, "\n"); deb = 0; ours = 0
          for (i = 1; i <= n; i++) {
            if (line[i] ~ /^Types:/ && line[i] ~ /[ \t]deb([ \t]|$)/) deb = 1
            if (line[i] ~ /^Suites:/) {
              m = split(line[i], word, /[ \t]+/)
              for (j = 2; j <= m; j++) if (word[j] ~ release) ours = 1
            }
          }
          if (!deb || !ours) next
          twin = ""
          for (i = 1; i <= n; i++)
            twin = twin (line[i] ~ /^Types:/ ? "Types: deb-src" : line[i]) (i < n ? "\n" : "")
          print twin
        }' "$@" ;;
    *)
      awk -v release="$release" '
        $1 == "deb" {
          rest = substr($0, index($0, "deb") + 3)
          fields = rest
          sub(/^[ \t]*(\[[^]]*\])?[ \t]*/, "", fields)  # the options
          split(fields, word, /[ \t]+/)                 # URI, suite, components
          if (word[2] ~ release) print "deb-src" rest
        }' "$@" ;;
  esac
}
if ! have_sources; then
  apt_get update >&2 || die "apt-get update failed"
fi
if ! have_sources && ! apt-get indextargets --format '$(TARGET_OF)' | grep -qx deb-src; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || die "/etc/os-release names no release"
  deb822=()
  oneline=()
  while read -r f; do
    case $f in
      *.sources) deb822+=("$f") ;;
      *) oneline+=("$f") ;;
    esac
  done < <(apt-get indextargets --format '$(TARGET_OF) $(RELEASE) $(SOURCESENTRY)' |
    awk -v release="^$codename(-|\$)" '$1 == "deb" && $2 ~ release { sub(/:[0-9]+$/, "", $3); print $3 }' |
    sort -u)
  [ ${#deb822[@]} -gt 0 ] || [ ${#oneline[@]} -gt 0 ] ||
    die "apt installs nothing from Debian $codename: no deb-src line to add"
  # Where both kinds name the same archive (as a fresh install may), twins
  # of both would give apt two deb-src entries for it, with Signed-By and
  # without, which it refuses: the deb822 entries alone are enough.
  [ ${#deb822[@]} -eq 0 ] || oneline=()
  eval "$(apt-config shell sources_d Dir::Etc::sourceparts/d)"
  added=()
  if [ ${#deb822[@]} -gt 0 ]; then
    added+=("${sources_d%/}/veilmark-deb-src.sources")
    deb_src_twins "$codename" "${deb822[@]}" | as_root tee "${added[-1]}" >/dev/null
  fi
  if [ ${#oneline[@]} -gt 0 ]; then
    added+=("${sources_d%/}/veilmark-deb-src.list")
    deb_src_twins "$codename" "${oneline[@]}" | as_root tee "${added[-1]}" >/dev/null
  fi
  log "added ${added[*]}"
  if ! apt_get update >&2; then
    log "apt-get update failed with ${added[*]}: removing them"
    as_root rm -f "${added[@]}"
    die "apt-get update failed"
  fi
fi
have_sources || die "apt has no source of dcmtk $dcmtk_version or of wxwidgets3.2 $wx_version"

# --- The recipe: what is built, and how (the cache key hashes from here on).
if [ "$mode" = build ]; then
  log "building into $prefix"
  rm -rf "$prefix"
  mkdir -p "$prefix"
else
  # Where the libraries would go: the check installs nothing there.
  prefix=$cache/mingw-check
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/veilmark-windows-deps.XXXXXX")
others=
# On any way out, DCMTK's build (below, beside wx's) stops too, and the
# scratch folder goes; the prefix, without its stamp, is built anew next time.
cleanup() {
  if [ -n "$others" ]; then
    kill -- "-$others" 2>/dev/null || true
    wait "$others" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# step NAME LOG COMMAND...: runs COMMAND with its output in LOG, and tells
# how long it took, or the end of LOG when it failed. The lock stays here:
# wine's session, which outlives the command by a few seconds, holds none.
step() {
  local name=$1 logfile=$2 t0=$SECONDS
  shift 2
  if ! "$@" >>"$logfile" 2>&1 9>&-; then
    log "$name failed; the end of its log:"
    tail -n 40 "$logfile" >&2
    return 1
  fi
  log "$name: $((SECONDS - t0)) s"
}

cd "$scratch"
sandbox=()
# As root apt would hand the download to its user _apt, who cannot write here.
[ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
sources=("dcmtk=$dcmtk_version")
[ "$mode" = check ] || sources+=("wxwidgets3.2=$wx_version")
step "fetching the sources" sources.log apt-get "${sandbox[@]}" source "${sources[@]}"
upstream() { local v=${1#*:}; echo "${v%-*}"; }
dcmtk_src=$scratch/dcmtk-$(upstream "$dcmtk_version")
wx_src=$scratch/wxwidgets3.2-$(upstream "$wx_version")
[ -d "$dcmtk_src" ] && { [ "$mode" = check ] || [ -d "$wx_src" ]; } ||
  die "the sources did not unpack where expected"

cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEILMARK_MINGW_PREFIX="$prefix"
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")

# Cross-compiling, DCMTK's configure looks for the C++ runtime's DLL and makes
# a wine prefix of its own, to run its test programs under wine. The
# toolchain links them statically, so the DLL is never needed, and the wine
# prefix is the one above. With the answers, what is left to run is the one
# program that writes config/arith.h.
cat >dcmtk-wine.cmake <<EOF
set(WINE_CPP_RUNTIME "C:\\\\windows\\\\system32" CACHE INTERNAL "")
set(DCMTK_WINEPREFIX "$wineprefix" CACHE INTERNAL "")
EOF
{
  cat dcmtk-wine.cmake
  printf 'include("%s")\n' "$answers"
} >dcmtk-cache.cmake
# What dcmdata needs, with zlib (deflated transfer syntaxes) and wide-char
# file names; like Debian's build, DCMTK's private tags in its dictionary,
# the STL for its classes and C++17. The dictionary is compiled in: no file
# to find at run time. No character set conversion: mingw-w64 has no iconv.
dcmtk_options=(
  "-DDCMTK_MODULES=ofstd;oflog;dcmdata" -DBUILD_APPS=OFF -DBUILD_SHARED_LIBS=OFF
  -DDCMTK_WITH_ZLIB=ON -DDCMTK_WIDE_CHAR_FILE_IO_FUNCTIONS=ON -DDCMTK_WITH_THREADS=ON
  -DDCMTK_ENABLE_PRIVATE_TAGS=ON -DDCMTK_ENABLE_STL=ON -DCMAKE_CXX_STANDARD=17
  -DDCMTK_DEFAULT_DICT=builtin -DCMAKE_INSTALL_DATADIC=share/dcmtk
  -DDCMTK_WITH_TIFF=OFF -DDCMTK_WITH_PNG=OFF -DDCMTK_WITH_XML=OFF -DDCMTK_WITH_OPENSSL=OFF
  -DDCMTK_WITH_SNDFILE=OFF -DDCMTK_WITH_ICONV=OFF -DDCMTK_WITH_ICU=OFF -DDCMTK_WITH_WRAP=OFF
  -DDCMTK_WITH_OPENJPEG=OFF -DDCMTK_WITH_DOXYGEN=OFF -DDCMTK_ENABLE_MANPAGES=OFF
)

# dcmtk_answers CACHE: the answers file that the configure whose
# CMakeCache.txt is CACHE would give: the results of its checks, which it
# keeps as internal entries, less those of CMake itself, paths, and what
# its programs' runs leave behind; then the large file mode that its check
# chose, an option that it sets after the check (without it, a configure
# given the check's result takes another).
dcmtk_answers() {
  cat <<'EOF'
# What DCMTK's configure finds out about mingw-w64's compiler, headers and
# libraries, given to it in the cache before it starts (by
# scripts/windows-deps.sh): a check whose answer is here is not made again.
# Cross-compiling, each check is a program compiled on its own, and there
# are some five hundred, the STL's run under wine too: five to ten minutes
# on two cores, for the same answers each time. A check that is not here (a
# newer DCMTK's) is still made.
#
# Written by "scripts/windows-deps.sh --check-answers" from a configure
# without it, which also checks that DCMTK's configure writes the same
# config headers (osconfig.h, arith.h) with it as without: run it again
# when DCMTK or mingw-w64 change, and replace this file with what it writes.
EOF
  awk -F':INTERNAL=' '
    /^[A-Za-z_][^:]*:INTERNAL=/ {
      name = $1; value = substr($0, length(name) + 11)
      if (name ~ /-(ADVANCED|STRINGS)$/ || name ~ /^(CMAKE_|_|WINE_|ZLIB_)/ ||
          name ~ /^(COMPILED|COMPILE_RESULT|RESULT)$/ ||
          (name ~ /^DCMTK_/ && name !~ /^DCMTK_(LFS|HAVE_)/)) next
      print value "\t" name
    }' "$1" | sort -t "$(printf '\t')" -k2,2 | awk -F'\t' '
    { if (!($1 in names)) order[++n] = $1; names[$1] = names[$1] " " $2 }
    END {
      for (i = 1; i <= n; i++) {
        k = split(names[order[i]], name, " ")
        line = "foreach(answer"
        for (j = 1; j <= k; j++) {
          if (length(line) + 1 + length(name[j]) > 78) { print line; line = "   " }
          line = line " " name[j]
        }
        print line ")"
        printf "  set(${answer} \"%s\" CACHE INTERNAL \"\")\nendforeach()\n", order[i]
      }
    }'
  sed -n 's/^DCMTK_ENABLE_LFS:STRING=\(.*\)/set(DCMTK_ENABLE_LFS "\1" CACHE STRING "")/p' "$1"
}

if [ "$mode" = check ]; then
  step "DCMTK configure with the answers" answered.log \
    cmake -S "$dcmtk_src" -B answered -C dcmtk-cache.cmake "${cross[@]}" "${dcmtk_options[@]}"
  step "DCMTK configure asking" asked.log \
    cmake -S "$dcmtk_src" -B asked -C dcmtk-wine.cmake "${cross[@]}" "${dcmtk_options[@]}"
  same=yes
  for header in osconfig.h arith.h; do
    if cmp -s {answered,asked}/config/include/dcmtk/config/"$header"; then
      log "$header: the same both ways"
    else
      log "$header differs:"
      diff {answered,asked}/config/include/dcmtk/config/"$header" >&2 || true
      same=no
    fi
  done
  found=$cache/dcmtk-configure-answers.cmake
  dcmtk_answers asked/CMakeCache.txt >"$found"
  if cmp -s "$answers" "$found"; then
    log "the answers agree with a configure that asks"
  else
    log "a configure that asks finds other answers: $found"
    diff "$answers" "$found" >&2 || true
    same=no
  fi
  [ "$same" = yes ]
  exit
fi
build_dcmtk() {
  step "DCMTK configure" dcmtk.log \
    cmake -S "$dcmtk_src" -B dcmtk-build -C dcmtk-cache.cmake "${cross[@]}" "${dcmtk_options[@]}" &&
    step "DCMTK build" dcmtk.log cmake --build dcmtk-build -j "$jobs" &&
    step "DCMTK install" dcmtk.log cmake --install dcmtk-build
}
# GoogleTest and GoogleMock, as Debian ships their source.
build_gtest() {
  step "GoogleTest configure" gtest.log \
    cmake -S /usr/src/googletest -B gtest-build "${cross[@]}" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON &&
    step "GoogleTest build" gtest.log cmake --build gtest-build -j "$jobs" &&
    step "GoogleTest install" gtest.log cmake --install gtest-build
}

# The MSW port, static, with only the libraries a dialog needs, base and
# core (net and adv come out empty), and in them only what the dialog and
# its tests use: every optional part of wx is off but those named below.
# Each of wx's sources starts with the same headers, compiled once into a
# precompiled header. Debian's source leaves out libpng, libjpeg, libtiff
# and expat ("+dfsg"): they are off; zlib is mingw-w64's.
wx_features=(
  # What wx itself needs on Windows: threads, its log, time, files and
  # streams, loading DLLs, the registry, fonts' encodings, OLE (the folder
  # chooser's and the clipboard's), and catching what an event handler
  # throws, as Debian's build does (OLE's code needs the variant; the
  # bitmaps' code compiles only with intl).
  threads exceptions intl log longlong datetime streams file ffile stdpaths
  timer dynlib dynamicloader regkey fontmap sysoptions variant any ole
  # The dialog: buttons, text boxes (with their own context menu), the
  # keyboard, the clipboard, themes, icons drawn from images, the desktop's
  # size, and the folder chooser. wx's folder chooser takes in its generic
  # one and so the file chooser, and these and the message box need the
  # choice, check box, radio button, tree, image list and static text
  # controls.
  button textctrl menus menubar accel caret mousewheel validators dataobj
  clipboard uxtheme ownerdrawn image ico_cur palette wxdib display
  commondlg dirdlg filedlg msgdlg choice checkbox radiobtn treectrl imaglist
  stattext
  # The tests', which type into the dialog as its user would.
  uiactionsim
)
wx_options=(
  --with-msw --disable-shared --disable-tests --without-subdirs --enable-pch
  --disable-all-features "${wx_features[@]/#/--enable-}"
  --with-zlib=sys --without-regex --without-libpng --without-libjpeg --without-libtiff
  --without-expat --without-liblzma --without-libcurl --without-opengl
)
build_wx() {
  mkdir wx-build &&
    step "wxWidgets configure" wx.log \
      env -C wx-build "$wx_src/configure" --host="$host" --build="$("$wx_src/config.guess")" \
      --prefix="$prefix" CC="$host-gcc-posix" CXX="$host-g++-posix" "${wx_options[@]}" &&
    step "wxWidgets build" wx.log make -C wx-build -j "$jobs" &&
    step "wxWidgets install" wx.log make -C wx-build install
}

# The two builds go side by side: each has stretches of one process at a
# time (a configure, wx's precompiled headers, an archive), which the
# other's compilers fill.
t0=$SECONDS
set -m  # its own process group, for cleanup to stop
(build_dcmtk && build_gtest) &
others=$!
set +m
build_wx || exit 1
wait "$others" || exit 1
others=

[ -x "$prefix/bin/wx-config" ] || die "no wx-config in $prefix/bin"
printf 'veilmark windows-deps %s\n%s\n' "$key" "$versions" >"$stamp.new"
mv "$stamp.new" "$stamp"
log "built in $((SECONDS - t0)) s: $prefix ($(du -sh "$prefix" | cut -f1))"
echo "$prefix"
