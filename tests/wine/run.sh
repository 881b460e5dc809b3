#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest, to list its tests or to run them, in the prefix of
# $WINEPREFIX. Its output goes through files, not ctest's pipes: a Wine process that outlives the program
# (a service, the desktop) would otherwise hold the pipes open, and ctest would wait for it until its
# time-out although the program had ended. The program's own exit status is returned.
set -uo pipefail
# shellcheck source=tests/wine/prefix.sh
source "$(dirname "$0")/prefix.sh"
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$wine" "$@" >"$out" 2>"$err" </dev/null
status=$?
cat "$out"
cat "$err" >&2
exit "$status"
