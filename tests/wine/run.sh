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
run() { "$wine" "$@" >"$out" 2>"$err" </dev/null; }
run "$@"
status=$?
# Every test program writes before it ends, and a program that crashes gets Wine's dump on stderr: a failure
# with nothing written at all is Wine's own, before the program ran (seen once in CI, in 10 ms, and never
# again in a thousand runs here). It is run once more, with Wine's errors shown should it fail again.
if ((status != 0)) && [[ ! -s $out && ! -s $err ]]; then
  echo "Wine ended $1 with status $status before it wrote anything; running it again" >&2
  WINEDEBUG=err+all run "$@"
  status=$?
fi
cat "$out"
cat "$err" >&2
exit "$status"
