#!/usr/bin/env bash
# The Windows setup program as a user gets it, under Wine in a prefix of its own: makensis builds
# Quorvin-1.1.0-setup.exe; a silent install for the current user, then one for every user, each puts the
# program, its Start-menu shortcut, the « Ouvrir avec » registration and the uninstaller's entry in place,
# and the silent uninstaller takes them all away again.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
# shellcheck source=scripts/checks.sh
source scripts/checks.sh

cmake --preset windows >/dev/null && cmake --build --preset windows --target installer || exit 1
setup=build/windows/Quorvin-1.1.0-setup.exe
check "makensis makes $setup" test -s "$setup"

export WINEPREFIX=$PWD/build/windows/installer-prefix
source tests/wine/prefix.sh
make_prefix >/dev/null 2>&1
drive_c=$WINEPREFIX/drive_c
# Runs a Windows program on a virtual display and waits until every process it started has ended (the
# uninstaller runs from a copy of itself).
run() {
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "\"$wine\" \"\$@\"; /usr/bin/wineserver -w" _ "$@" >/dev/null 2>&1
}
key_has() {  # KEY VALUE-NAME TEXT: the value shows TEXT
  "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | grep -qF -- "$3"
}
key_exists() {
  "$wine" reg query "$1" >/dev/null 2>&1
}

for mode in CurrentUser AllUsers; do
  if [[ $mode == CurrentUser ]]; then
    root=HKCU folder=$(find "$drive_c/users" -maxdepth 3 -type d -path '*/AppData/Local' | head -1)/Programs/Quorvin
  else
    root=HKLM folder="$drive_c/Program Files/Quorvin"
  fi
  uninstall_key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvin"
  application_key="$root\\Software\\Classes\\Applications\\Quorvin.exe"

  check "$mode: silent install" run "$setup" /S /$mode
  installed() {
    cmp "$folder/Quorvin.exe" build/windows/installer/Quorvin.exe && test -f "$folder/uninstall.exe" &&
      find "$drive_c" -name Quorvin.lnk -path '*Start Menu/Programs*' | grep -q .
  }
  check "$mode: Quorvin.exe, the uninstaller and the Start-menu shortcut" installed
  open_with() {
    key_has "$application_key\\shell\\open\\command" "" 'Quorvin.exe" "%1"' &&
      key_has "$application_key\\SupportedTypes" .txt "" && key_has "$application_key\\SupportedTypes" .log "" &&
      key_exists "$root\\Software\\Classes\\.txt\\OpenWithList\\Quorvin.exe"
  }
  check "$mode: « Ouvrir avec » for .txt and .log" open_with
  listed() {
    key_has "$uninstall_key" DisplayName Quorvin && key_has "$uninstall_key" DisplayVersion 1.1.0 &&
      key_has "$uninstall_key" Publisher Ravendo && key_has "$uninstall_key" DisplayIcon 'Quorvin.exe,0' &&
      key_has "$uninstall_key" QuietUninstallString "/$mode /S"
  }
  check "$mode: listed with its name, version, maker and icon" listed
  default_untouched() {  # the user's default program for text files stays what it was
    ! "$wine" reg query "$root\\Software\\Classes\\.txt" /ve 2>/dev/null | tr -d '\r' | grep -qi quorvin
  }
  check "$mode: the default program for .txt is not changed" default_untouched

  command=$("$wine" reg query "$uninstall_key" /v QuietUninstallString 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ *"\(.*\)" \(.*\)/\1|\2/p')
  IFS='|' read -r uninstaller arguments <<<"$command"
  # shellcheck disable=SC2086 # the arguments are words
  check "$mode: silent uninstall" run "$uninstaller" $arguments
  gone() {
    local left=0
    [[ ! -e "$folder" ]] || { echo "left: $folder"; left=1; }
    ! find "$drive_c" -name Quorvin.lnk | grep . || left=1
    for key in "$uninstall_key" "$application_key" "$root\\Software\\Classes\\.txt\\OpenWithList\\Quorvin.exe" \
        "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quorvin.exe"; do
      key_exists "$key" && { echo "left: $key"; left=1; }
    done
    return $left
  }
  check "$mode: nothing is left" gone
done

/usr/bin/wineserver -k >/dev/null 2>&1
summary
