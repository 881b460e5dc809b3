#!/usr/bin/env bash
# The Windows build: Quorvin.exe cross-built with MinGW-w64, then its tests under Wine in a fresh prefix,
# on a virtual X display: the core tests, the Win32 services, and Quorvin.exe driven from outside.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.."
export WINEPREFIX=$PWD/build/windows/wineprefix
# shellcheck source=tests/wine/prefix.sh
source tests/wine/prefix.sh

if [[ -n "${QUORVIN_ON_XVFB:-}" ]]; then
  # On the virtual display: one persistent Wine server, booted, serves every test program.
  start_wine
  trap '/usr/bin/wineserver -k || true' EXIT
  ctest --preset windows
  exit
fi

cmake --preset windows
cmake --build --preset windows

exe=build/windows/Quorvin.exe
if x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' |
    grep -viE '^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32)\.dll$'; then
  echo "$exe needs a DLL that Windows does not ship"
  exit 1
fi

make_prefix
QUORVIN_ON_XVFB=1 timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24" bash "$self"
