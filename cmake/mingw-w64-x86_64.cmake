# Builds Veilmark for 64-bit Windows on Debian, with mingw-w64's compilers of
# the posix thread model, and runs what it builds (the tests, and any
# try_run of a configure step) under wine:
#
#   prefix=$(scripts/windows-deps.sh | tail -1)
#   cmake -S . -B build-windows \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DVEILMARK_MINGW_PREFIX="$prefix"
#
# VEILMARK_MINGW_PREFIX is where scripts/windows-deps.sh put DCMTK, wxWidgets
# and GoogleTest, built for Windows as static libraries. Libraries, headers
# and packages are looked for there and in mingw-w64's own tree only, never
# among the Linux system's. CMake keeps where it found each package: for
# another prefix, configure a new build folder (or with --fresh). Every
# program links statically, so that a Windows machine needs no DLL beside
# the .exe but its own.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEILMARK_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEILMARK_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEILMARK_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VEILMARK_MINGW_HOST}-windres)

set(VEILMARK_MINGW_PREFIX "$ENV{VEILMARK_MINGW_PREFIX}" CACHE PATH
  "The libraries built for Windows by scripts/windows-deps.sh (the last line it prints)")
if(NOT VEILMARK_MINGW_PREFIX)
  message(FATAL_ERROR "Set VEILMARK_MINGW_PREFIX to the folder that scripts/windows-deps.sh prints last")
endif()
# The wine prefix that scripts/windows-deps.sh made beside that folder;
# WINEDEBUG=-all keeps wine's own chatter out of the tests' output.
get_filename_component(_veilmark_cache "${VEILMARK_MINGW_PREFIX}" DIRECTORY)
set(VEILMARK_WINEPREFIX "${_veilmark_cache}/wineprefix" CACHE PATH
  "The wine prefix the tests run in")
set(VEILMARK_WINEDEBUG "-all" CACHE STRING "WINEDEBUG for the tests under wine")
# try_compile's projects read this file again: hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES
  VEILMARK_MINGW_PREFIX VEILMARK_WINEPREFIX VEILMARK_WINEDEBUG)

set(CMAKE_FIND_ROOT_PATH /usr/${VEILMARK_MINGW_HOST} "${VEILMARK_MINGW_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${VEILMARK_MINGW_PREFIX}")
# The cross wx-config, which FindwxWidgets asks for the flags of the static
# MSW libraries.
set(wxWidgets_CONFIG_EXECUTABLE "${VEILMARK_MINGW_PREFIX}/bin/wx-config" CACHE FILEPATH
  "wx-config of the wxWidgets built for Windows" FORCE)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into each program. mingw-w64's zlib
# comes as a DLL's import library too, which FindZLIB would take first.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# ctest, gtest_discover_tests and try_run run the programs with this: wine,
# by way of wine-run.sh. Wine's .NET and Internet Explorer stand-ins stay
# off: wine would offer to fetch them, and Veilmark uses neither.
set(CMAKE_CROSSCOMPILING_EMULATOR
  /usr/bin/env "WINEPREFIX=${VEILMARK_WINEPREFIX}" "WINEDEBUG=${VEILMARK_WINEDEBUG}"
  "WINEDLLOVERRIDES=mscoree,mshtml=" "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
