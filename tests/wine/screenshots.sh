#!/usr/bin/env bash
# Remakes docs/screenshots/windows-*.png: runs build/windows/Quorvin.exe under Wine on a virtual display
# in a fresh prefix and goes through a search, the About window and a long search as a user would, with
# the mouse and the keyboard. Build first: cmake --preset windows && cmake --build --preset windows
# (QUORVIN_BUILD names another build folder than build/windows).
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.."
shots=$PWD/docs/screenshots
build=$PWD/${QUORVIN_BUILD:-build/windows}
export WINEPREFIX=$build/screenshot-prefix
# shellcheck source=tests/wine/prefix.sh
source tests/wine/prefix.sh
documents="$WINEPREFIX/drive_c/users/$(whoami)/Documents"
exe=$build/Quorvin.exe

if [[ -n "${QUORVIN_ON_XVFB:-}" ]]; then
  start_wine
  trap '/usr/bin/wineserver -k || true' EXIT
  cd "$documents"  # the open-file dialog opens in the current folder
  "$wine" "$exe" >/dev/null 2>&1 &
  sleep 4
  # The main window is centred: its place is the bounding box of what is not the desktop.
  read -r x y < <(import -window root png:- | convert - -trim -format "%X %Y\n" info: | tr -d +)
  at() { xdotool mousemove $((x + $1)) $((y + $2)) click 1; sleep 2; xdotool mousemove 0 0; sleep 0.5; }
  shot() { import -window root png:- | convert - -trim +repage "$shots/$1.png"; }
  choose() {  # clicks Scan_Select and types the path into the open-file dialog
    at 160 69
    shot "windows-dialog-$1"
    xdotool type --delay 30 "C:\\users\\$(whoami)\\Documents\\$1"; xdotool key Return; sleep 1
  }
  shot windows-start
  xdotool type --delay 50 "chaîne"; sleep 0.5
  choose notes.txt
  at 160 69; xdotool key Return; sleep 1  # the search, and its message box answered
  shot windows-main
  at 339 69                               # the About window
  shot windows-about
  xdotool key Escape; sleep 1
  choose archive.bin
  at 160 69; sleep 2
  shot windows-progress
  xdotool key Return; sleep 1; xdotool key Return; sleep 1  # cancels, answers the message
  exit
fi

make_prefix
mkdir -p "$documents"
printf 'Une ligne de notes avec une chaîne.\n' >"$documents/notes.txt"
truncate -s 40G "$documents/archive.bin"  # sparse: seconds to read, no disk
QUORVIN_ON_XVFB=1 timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" bash "$self"
mv "$shots/windows-dialog-notes.txt.png" "$shots/windows-dialog.png"
rm -f "$shots/windows-dialog-archive.bin.png"
rm -rf "$WINEPREFIX"
echo "Screenshots:" "$shots"/windows-*.png
