#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite of scripts/suites/ in order.
# Each suite prints its own report; the last line sums the tests of all suites.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh || exit 1

passed=0 failed=0 broken=()
mkdir -p build
for suite in scripts/suites/*.sh; do
  name=$(basename "$suite" .sh)
  echo "=== $name"
  log="build/suite-$name.log"
  bash "$suite" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  # ctest's summary: "NN% tests passed, F tests failed out of T"
  while read -r f t; do
    passed=$((passed + t - f)) failed=$((failed + f))
  done < <(sed -n 's/.*tests passed, \([0-9]*\) tests\? failed out of \([0-9]*\).*/\1 \2/p' "$log")
  ((status == 0)) || broken+=("$name")
done

((${#broken[@]} == 0)) || echo "Suites that failed: ${broken[*]}"
echo "tests: $passed passed, $failed failed"
((${#broken[@]} == 0 && failed == 0))
