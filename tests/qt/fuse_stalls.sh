#!/usr/bin/env bash
# Mounts a FUSE file system whose open, read and look at a file never return (stalling_fs.py), and runs the
# real Quorvin on it, on a virtual display with its own D-Bus session and accessibility bus, read over
# AT-SPI (fuse_stalls.py): searches, a start file and the file dialog on the stalled mount never freeze
# the window, and Quit ends the process at once. Where FUSE cannot work (no /dev/fuse and none can be
# made, a container that forbids the mount), it says why and ends with 77, which ctest shows as skipped.
# Usage: tests/qt/fuse_stalls.sh PROGRAM
set -euo pipefail
self=$(realpath "$0")
program=$(realpath "$1")
if [[ -z "${QUORVIN_ON_XVFB:-}" ]]; then
  QUORVIN_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" dbus-run-session -- "$self" "$program"
fi

work=$(mktemp -d -t quorvin-fuse.XXXXXX)
mnt=$work/mnt control=$work/control
mkdir "$mnt" "$control"
fs='' wm=''
cleanup() {
  touch "$control/release"  # any call still waiting returns
  if mountpoint -q "$mnt"; then
    umount -l "$mnt" || true
  fi
  kill $fs $wm 2>/dev/null || true
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
skip() {
  echo "SKIPPED: FUSE cannot work on this machine: $1"
  exit 77
}

if [[ ! -e /dev/fuse ]]; then
  modprobe fuse 2>/dev/null || true
fi
if [[ ! -e /dev/fuse ]]; then
  mknod -m 0666 /dev/fuse c 10 229 2>/dev/null || true
fi
[[ -e /dev/fuse ]] || skip "there is no /dev/fuse, and neither 'modprobe fuse' nor mknod could make one"
/usr/bin/python3 "$(dirname "$self")/stalling_fs.py" "$mnt" "$control" 2>"$work/fs.log" &
fs=$!
for _ in $(seq 100); do
  if mountpoint -q "$mnt" || ! kill -0 "$fs" 2>/dev/null; then
    break
  fi
  sleep 0.1
done
mountpoint -q "$mnt" || skip "the mount failed ($(grep -m 1 '^fuse:' "$work/fs.log" || tail -n 1 "$work/fs.log"))"

# A window manager gives the activation back to the main window when a dialog or a message closes.
HOME=$work jwm >/dev/null 2>&1 &
wm=$!
sleep 1

# PYTHONDONTWRITEBYTECODE: importing atspi_support.py leaves no __pycache__ in the sources.
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 LC_ALL=C.UTF-8 PYTHONDONTWRITEBYTECODE=1
if ! /usr/bin/python3 "$(dirname "$self")/fuse_stalls.py" "$program" "$mnt" "$control"; then
  echo "--- what the file system said:"
  cat "$work/fs.log"
  exit 1
fi
