#!/usr/bin/env bash
# The Windows setup program as a user gets it, under Wine in a prefix of its own, on a virtual display:
# makensis builds Quorvin-1.1.0-setup.exe, which asks for no administrator rights and is DPI-aware; a
# silent install for the current user, then one for every user, each puts the program, its Start-menu
# shortcut, the « Ouvrir avec » registration and the uninstaller's entry in place. While the installed
# Quorvin.exe runs, the silent uninstaller and a silent install over it end with exit code 2 and change
# nothing; once it has ended, the install goes through again and the silent uninstaller takes it all away.
# QUORVIN_WINDOWS_BUILD names another build folder of the windows preset than build/windows.
set -uo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.." || exit 1
# shellcheck source=scripts/checks.sh
source scripts/checks.sh

build=${QUORVIN_WINDOWS_BUILD:-build/windows}
setup=$build/Quorvin-1.1.0-setup.exe
export WINEPREFIX=$PWD/$build/installer-prefix
# shellcheck source=tests/wine/prefix.sh
source tests/wine/prefix.sh

if [[ -z "${QUORVIN_ON_XVFB:-}" ]]; then
  cmake --preset windows -B "$build" >/dev/null && cmake --build "$build" --target installer || exit 1
  make_prefix >/dev/null 2>&1
  QUORVIN_ON_XVFB=1 timeout 1800 xvfb-run -a -s "-screen 0 1024x768x24" bash "$self"
  exit
fi

# On the virtual display: one persistent Wine server serves every program, Quorvin.exe among them.
start_wine || exit 1
trap '/usr/bin/wineserver -k >/dev/null 2>&1' EXIT
drive_c=$WINEPREFIX/drive_c

exits_with() {  # CODE PROGRAM ARGUMENT...: the Windows program ends with exit code CODE
  local expected=$1 status
  shift
  "$wine" "$@" >/dev/null 2>&1
  status=$?
  ((status == expected)) || { echo "exit code $status, not $expected"; return 1; }
}
key_has() {  # KEY VALUE-NAME TEXT: the value shows TEXT
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -qF -- "$3"
}
key_exists() {
  "$wine" reg query "$1" >/dev/null 2>&1
}
manifest() {  # PROGRAM: the application manifest among its resources
  local resources status
  resources=$(mktemp)
  x86_64-w64-mingw32-windres -i "$1" -O res -o "$resources" && grep -ao '<assembly.*</assembly>' "$resources"
  status=$?
  rm -f "$resources"
  return $status
}
asks_no_rights_and_is_dpi_aware() {  # PROGRAM
  local text
  text=$(manifest "$1") || return 1
  if ! grep -q '<requestedExecutionLevel level="asInvoker"' <<<"$text" ||
      ! grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$text"; then
    echo "$text"
    return 1
  fi
}

check "makensis makes $setup" test -s "$setup"
check "the setup program asks for no administrator rights (asInvoker) and is DPI-aware" \
  asks_no_rights_and_is_dpi_aware "$setup"

for mode in CurrentUser AllUsers; do
  if [[ $mode == CurrentUser ]]; then
    root=HKCU folder=$(find "$drive_c/users" -maxdepth 3 -type d -path '*/AppData/Local' | head -1)/Programs/Quorvin
  else
    root=HKLM folder="$drive_c/Program Files/Quorvin"
  fi
  uninstall_key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvin"
  application_key="$root\\Software\\Classes\\Applications\\Quorvin.exe"

  installed() {
    cmp "$folder/Quorvin.exe" "$build/installer/Quorvin.exe" && test -f "$folder/uninstall.exe" &&
      find "$drive_c" -name Quorvin.lnk -path '*Start Menu/Programs*' | grep -q .
  }
  open_with() {
    key_has "$application_key\\shell\\open\\command" "" 'Quorvin.exe" "%1"' &&
      key_has "$application_key\\SupportedTypes" .txt "" && key_has "$application_key\\SupportedTypes" .log "" &&
      key_exists "$root\\Software\\Classes\\.txt\\OpenWithList\\Quorvin.exe"
  }
  listed() {
    key_has "$uninstall_key" DisplayName Quorvin && key_has "$uninstall_key" DisplayVersion 1.1.0 &&
      key_has "$uninstall_key" Publisher Ravendo && key_has "$uninstall_key" DisplayIcon 'Quorvin.exe,0' &&
      key_has "$uninstall_key" QuietUninstallString "/$mode /S"
  }
  default_untouched() {  # the user's default program for text files stays what it was
    ! "$wine" reg query "$root\\Software\\Classes\\.txt" /ve 2>/dev/null | tr -d '\r' | grep -qi quorvin
  }
  # Runs the entry's silent uninstall command as Windows would, its words as they are: each word is one
  # argument, and Wine joins them with single spaces, so the unquoted folder of _?= comes back whole.
  uninstall() {  # CODE: the uninstaller ends with it
    local command uninstaller arguments words
    command=$("$wine" reg query "$uninstall_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
      sed -n 's/.*REG_SZ *"\(.*\)" \(.*\)/\1|\2/p')
    IFS='|' read -r uninstaller arguments <<<"$command"
    read -r -a words <<<"$arguments"
    exits_with "$1" "$uninstaller" "${words[@]}"
  }
  # What an install or an uninstall would change: the times the files and the folder last changed (which
  # no program can set back), and the keys it writes.
  snapshot() {
    stat -c '%n %z' "$folder" "$folder"/* "$(find "$drive_c" -name Quorvin.lnk)" 2>&1
    "$wine" reg query "$uninstall_key" /s 2>&1 | tr -d '\r'
    "$wine" reg query "$application_key" /s 2>&1 | tr -d '\r'
  }
  unchanged() {
    local now
    now=$(snapshot)
    diff <(echo "$before") <(echo "$now")
  }

  check "$mode: silent install" exits_with 0 "$setup" /S /$mode
  check "$mode: Quorvin.exe, the uninstaller and the Start-menu shortcut" installed
  check "$mode: « Ouvrir avec » for .txt and .log" open_with
  check "$mode: listed with its name, version, maker and icon" listed
  check "$mode: the default program for .txt is not changed" default_untouched
  check "$mode: the uninstaller asks for no administrator rights and is DPI-aware" \
    asks_no_rights_and_is_dpi_aware "$folder/uninstall.exe"

  # Quorvin.exe started from its folder; it runs once Wine has mapped its file.
  "$wine" "$folder/Quorvin.exe" >/dev/null 2>&1 &
  quorvin=$!
  for _ in $(seq 100); do
    grep -q Quorvin.exe "/proc/$quorvin/maps" 2>/dev/null && break
    sleep 0.1
  done
  check "$mode: the installed Quorvin.exe runs" grep -q Quorvin.exe "/proc/$quorvin/maps"
  before=$(snapshot)
  check "$mode: the silent uninstall while Quorvin runs ends with exit code 2" uninstall 2
  check "$mode: ... and removes nothing" unchanged
  check "$mode: ... the program, its uninstaller and shortcut are there" installed
  check "$mode: ... « Ouvrir avec » too" open_with
  check "$mode: ... and the entry" listed
  # A version the install would write anew shows whether it wrote anything.
  "$wine" reg add "$uninstall_key" /v DisplayVersion /d 0.9 /f >/dev/null 2>&1
  before=$(snapshot)
  check "$mode: a silent install over the running Quorvin.exe ends with exit code 2" exits_with 2 "$setup" /S /$mode
  check "$mode: ... and changes nothing" unchanged
  kill "$quorvin"
  wait "$quorvin" 2>/dev/null

  check "$mode: once Quorvin has ended, the silent install goes through" exits_with 0 "$setup" /S /$mode
  check "$mode: ... and puts everything back" installed
  check "$mode: ... with the entry's version" listed
  check "$mode: the silent uninstall goes through" uninstall 0
  # The uninstaller's file goes once the uninstaller has ended, and its folder with it.
  folder_goes() {
    for _ in $(seq 50); do
      [[ -e "$folder" ]] || return 0
      sleep 0.1
    done
    echo "left: $folder"
    ls -A "$folder"
    return 1
  }
  check "$mode: its folder goes within 5 s" folder_goes
  gone() {
    local left=0
    ! find "$drive_c" -name Quorvin.lnk | grep . || left=1
    for key in "$uninstall_key" "$application_key" "$root\\Software\\Classes\\.txt\\OpenWithList\\Quorvin.exe" \
        "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quorvin.exe"; do
      key_exists "$key" && { echo "left: $key"; left=1; }
    done
    return $left
  }
  check "$mode: nothing is left" gone
done

summary
