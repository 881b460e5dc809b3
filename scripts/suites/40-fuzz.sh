#!/usr/bin/env bash
# Fuzzing: the block scan and ScanFile against a naive search of the whole file, for about a minute,
# then the search inside archives against a naive search of their members, for half a minute, each from
# its seed corpus. A mismatch, a crash or a sanitizer report fails the suite; the input that caused it is
# left in build/fuzz/artifacts/. Prints a ctest-like summary for scripts/test.sh.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
seconds=${QUORVIN_FUZZ_SECONDS:-60}
build=build/fuzz
summary() { echo "$1% tests passed, $2 tests failed out of 2"; }

if ! { cmake --preset fuzz && cmake --build --preset fuzz; }; then
  summary 0 2
  exit 1
fi
rm -rf "$build/corpus" "$build/readers-corpus" "$build/artifacts"
mkdir -p "$build/corpus" "$build/readers-corpus" "$build/artifacts"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
failed=0
# fuzz TARGET SECONDS NEW-INPUTS SEEDS: new inputs go to their folder; the committed seeds stay as they are.
# Inputs with a text of a whole block are slow to run; weighing inputs by their speed keeps them from
# taking most of the time.
fuzz() {
  echo "--- $1"
  timeout $(($2 + 120)) "$build/tests/fuzz/$1" -max_total_time="$2" -max_len=4096 -timeout=30 \
    -rss_limit_mb=2048 -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
    "$3" "$4" >"$build/$1.log" 2>&1
  local status=$?
  grep -E '^(stat::|Done )' "$build/$1.log"
  echo "corpus: $(find "$4" -type f | wc -l) seeds, $(find "$3" -type f | wc -l) inputs added"
  if ((status != 0)); then
    tail -n 40 "$build/$1.log"
    failed=$((failed + 1))
  fi
}
fuzz scan_fuzz "$seconds" "$build/corpus" tests/fuzz/corpus
fuzz readers_fuzz $((seconds / 2)) "$build/readers-corpus" tests/fuzz/readers_corpus
summary $((100 * (2 - failed) / 2)) "$failed"
((failed == 0))
