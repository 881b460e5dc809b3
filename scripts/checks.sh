# shellcheck shell=bash
# Sourced by suites whose checks are commands rather than test programs: `check NAME COMMAND...` runs the
# command, prints its outcome (and its output when it fails), and `summary` ends with ctest's summary line,
# which scripts/test.sh adds up; the suite fails if any check did.
checks_passed=0
checks_failed=0

check() {
  local name=$1 output
  shift
  if output=$("$@" 2>&1); then
    checks_passed=$((checks_passed + 1))
    echo "  ok    $name"
  else
    checks_failed=$((checks_failed + 1))
    echo "  FAIL  $name"
    [[ -z "$output" ]] || printf '        %s\n' "${output//$'\n'/$'\n'        }"
  fi
}

summary() {
  local total=$((checks_passed + checks_failed))
  echo
  echo "$(( total ? 100 * checks_passed / total : 0 ))% tests passed, $checks_failed tests failed out of $total"
  ((checks_failed == 0 && total > 0))
}
