#!/usr/bin/env bash
# Runs the real Quorvin on a virtual display with its own D-Bus session and accessibility bus, and drives
# it with the keyboard alone while reading it as a screen reader does, over AT-SPI (atspi_keyboard.py):
# Enter in the search text chooses the file and then searches; in the About window Tab reaches the links
# in the design's order, each link is a link that tells its address, and Enter or Space opens it. Links
# open through a stand-in xdg-open that writes down what it is given.
# Usage: tests/qt/atspi_keyboard.sh PROGRAM
set -euo pipefail
self=$(realpath "$0")
program=$(realpath "$1")
if [[ -z "${QUORVIN_ON_XVFB:-}" ]]; then
  QUORVIN_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" dbus-run-session -- "$self" "$program"
fi

work=$(mktemp -d -t quorvin-atspi.XXXXXX)
pid='' wm=''
trap 'kill $pid $wm 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/xdg-open" <<'OPENER'
#!/bin/sh
printf '%s\n' "$1" >>"$QUORVIN_OPENED"
OPENER
chmod +x "$work/bin/xdg-open"
printf 'Quorvin cherche une chaîne.\n' >"$work/exemple.txt"

# A window manager gives the activation back to the main window when a dialog or a message closes, as
# a desktop does; without one the keys still arrive but no control has the focus.
HOME=$work jwm >/dev/null 2>&1 &
wm=$!
sleep 1

# PYTHONDONTWRITEBYTECODE: importing atspi_support.py leaves no __pycache__ in the sources.
export QUORVIN_OPENED=$work/opened.txt PATH=$work/bin:$PATH PYTHONDONTWRITEBYTECODE=1
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LC_ALL=C.UTF-8
(cd "$work" && exec "$program" 2>/dev/null) &
pid=$!
/usr/bin/python3 "$(dirname "$self")/atspi_keyboard.py" "$work"
