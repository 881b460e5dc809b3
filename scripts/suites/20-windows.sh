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
# ASLR over the whole 64-bit address space, and DEP (cmake/hardening.cmake). ASLR only moves an image that
# keeps its relocations: a .reloc section, and no « relocations stripped » flag.
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
sections=$(x86_64-w64-mingw32-objdump -h "$exe")
dll_characteristics=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
needed=$((0x40 | 0x100 | 0x20))  # DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA
if [[ ! "$dll_characteristics" =~ ^[0-9a-fA-F]+$ ]] || (((0x$dll_characteristics & needed) != needed)); then
  echo "$exe: DllCharacteristics ${dll_characteristics:-missing}, without DYNAMIC_BASE, NX_COMPAT or HIGH_ENTROPY_VA"
  exit 1
fi
if ! grep -qE '^ +[0-9]+ +\.reloc +0*[1-9a-f]' <<<"$sections" || grep -q 'relocations stripped' <<<"$headers"; then
  echo "$exe has no relocations: Windows cannot move it"
  exit 1
fi

make_prefix
QUORVIN_ON_XVFB=1 timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24" bash "$self"
