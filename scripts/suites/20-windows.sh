#!/usr/bin/env bash
# The Windows build: Quorvin.exe cross-built with MinGW-w64, then its tests under Wine in a fresh prefix,
# on a virtual X display: the core tests, the Win32 services, and Quorvin.exe driven from outside.
set -euo pipefail
cmake --preset windows
cmake --build --preset windows

exe=build/windows/Quorvin.exe
if x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32)\.dll$'; then
  echo "$exe needs a DLL that Windows does not ship"
  exit 1
fi

export WINEPREFIX=$PWD/build/windows/wineprefix
source tests/wine/prefix.sh
make_prefix

# One Wine server for all the tests; Wine's own processes must not hold ctest's output open.
timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  /usr/bin/wineserver -p >/dev/null 2>&1
  '"$wine"' explorer /desktop=Default,1024x768 >/dev/null 2>&1 &
  ctest --preset windows
  status=$?
  /usr/bin/wineserver -k >/dev/null 2>&1
  exit $status'
