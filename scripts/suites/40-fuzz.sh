#!/usr/bin/env bash
# Fuzzing: the block scan and ScanFile against a naive search of the whole file, for about a minute,
# starting from the seed corpus. A mismatch, a crash or a sanitizer report fails the suite; the input
# that caused it is left in build/fuzz/artifacts/. Prints a ctest-like summary for scripts/test.sh.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
seconds=${QUORVIN_FUZZ_SECONDS:-60}
build=build/fuzz
summary() { echo "$1% tests passed, $2 tests failed out of 1"; }

if ! { cmake --preset fuzz && cmake --build --preset fuzz; }; then
  summary 0 1
  exit 1
fi
rm -rf "$build/corpus" "$build/artifacts"
mkdir -p "$build/corpus" "$build/artifacts"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# New inputs go to build/fuzz/corpus; the committed seeds stay as they are. Inputs with a text of a whole
# block are slow to run; weighing inputs by their speed keeps them from taking most of the minute.
timeout $((seconds + 120)) "$build/tests/fuzz/scan_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
  -rss_limit_mb=2048 -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
  "$build/corpus" tests/fuzz/corpus >"$build/fuzz.log" 2>&1
status=$?
grep -E '^(stat::|Done )' "$build/fuzz.log"
echo "corpus: $(find tests/fuzz/corpus -type f | wc -l) seeds, $(find "$build/corpus" -type f | wc -l) inputs added"
if ((status != 0)); then
  tail -n 40 "$build/fuzz.log"
  summary 0 1
  exit 1
fi
summary 100 0
