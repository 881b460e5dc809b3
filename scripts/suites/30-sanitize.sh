#!/usr/bin/env bash
# The core, the Linux file service and every Linux test built with AddressSanitizer and
# UndefinedBehaviorSanitizer: any report (memory error, leak, undefined behaviour) fails its test.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset sanitize
cmake --build --preset sanitize

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen
asan=halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
# LeakSanitizer needs ptrace; where a sandbox forbids it, leaks go unchecked rather than every test failing.
probe=build/sanitize/lsan-probe.log
if ASAN_OPTIONS=$asan:detect_leaks=1 build/sanitize/tests/quorvin_core_tests --gtest_list_tests >/dev/null 2>"$probe" ||
   ! grep -q "LeakSanitizer has encountered a fatal error" "$probe"; then
  asan=$asan:detect_leaks=1
else
  echo "LeakSanitizer cannot run here (ptrace is restricted): leak detection is off"
  asan=$asan:detect_leaks=0
fi
export ASAN_OPTIONS=$asan

# The 5 GiB file is searched at full speed by the Linux suite; here the 4.5 GiB one covers the same code.
ctest --preset sanitize -E 'SparseFileOfFiveGibibytes'
