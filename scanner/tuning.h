#pragma once
// Every number the search engine was tuned with, in one place. None changes an answer, only how fast it
// comes: a wrong value finds the same occurrences, more slowly. Each says what set it; those marked
// "reasoned" were set by the argument given and have no bench row of their own yet. "Instructions" are
// cachegrind's counts for `quorvin-bench --no-place --path=avx2` over the first 32 MiB of scripts/bench.sh's
// files, the choice on the first block included, with that one value changed: unlike the wall clocks of
// this shared machine, which swing by ±30 %, they do not depend on its load.
// `quorvin-filter-bench --describe FILE TEXT` prints the choices they lead to for one search.
#include <cstddef>

namespace quorvin::tuning {

// --- Choosing a filter's anchors (anchor_filter.cpp) ---

// The anchors are chosen on this many bytes of the file's first block: pairs are counted at every position,
// so the choice costs time and memory in proportion. Measured on `ab` repeated to 10 MiB with the text
// `ab` x 15999 + `aa` (hyperfine, 10 runs, AVX2, 1 MiB reads): choosing on the whole first block took
// 89 ms (80 % of it in AnchorFilter::rank and its page faults), on its first 32000 bytes 11.5 ms (15.7
// with the earlier 32000-byte reads).
inline constexpr std::size_t kRankingSample = 32000;
// At most this many of the text's rarest bytes are weighed as anchors, pairwise on the first block: the
// pair count grows with its square. Instructions, 15 rows: with 4, `ÉLÈVES` (Windows-1252) +29.7 % and
// `Several hundred tenants heard the rattle` (UTF-8) +9.6 %, the rest 0 to -3.6 %; with 12, +0.8 to +7.4 %
// on 10 rows (`salt and tea` +7.4 %), none fewer.
inline constexpr std::size_t kMaxConsidered = 8;
// Fewer positions than this in the first block: too few to count pairs on, the rarest bytes win (reasoned).
inline constexpr std::size_t kFewestPositions = 1024;
// Past this chance that a position holds the two first anchors, the third pays for its compare at every
// position; below it, it is compared only where the first two agree (reasoned: one compare at every
// position costs about what comparing one candidate in full in 4000 positions does). It pays: with two
// first anchors only, `tenant` in the bench's Windows-1252 file took 278.5 ms against 207.4 (hyperfine,
// 7 runs side by side, AVX2).
inline constexpr double kThirdAnchorAbove = 1.0 / 4000;
// Below this chance that a position holds an anchor, about one step of the vector scan in ten meets it:
// that anchor alone is compared at every position and the others only in the steps it meets (reasoned: a
// step that meets it costs about four that do not). It pays: never lone, `kx-4711` and `relevé kx-4711`
// take 21-22 % more instructions in the Windows-1252 and UTF-8 files; at 1/640 or 1/10240, no row of 23
// changes.
inline constexpr double kLoneAnchorBelow = 1.0 / 2560;
// A repeat of the text's start this long makes data that repeats it crowd the candidates of anchors
// chosen within it: such a text is anchored where it stops repeating (reasoned: shorter repeats cost
// less than the work limit allows). Instructions: at 4, `the rest of the old ones` +1.6 % and `the red
// stone is near the old train line` +1.8 % (anchored on a short repeat); at 64, no row of 15 changes.
inline constexpr std::size_t kRepeatThatCrowds = 16;

// --- Crowding: when the filter hands a span to the linear matcher (anchor_filter, block_scanner, unicode_form) ---

// Comparing candidates in full may cost this many bytes per byte of the span, plus this many, before the
// filter gives up on them as crowded: the linear matcher's own cost is a few bytes' work per byte
// (reasoned). No bench row crowds, the crowded files included, their texts being anchored where they stop
// repeating: at a quarter and at four times each value, the instructions of 15 rows do not change. These
// bound the worst case only; the crowding tests hold it to the naive answer.
inline constexpr std::size_t kWorkPerByte = 2;
inline constexpr std::size_t kWorkSlack = 4096;
// After a span crowded, that many more spans are searched linearly at once: the data that crowded them
// usually goes on, and trying the filter first would cost its whole work limit again (reasoned; at 1, no
// row of 15 changes, as above).
inline constexpr int kLinearSpansAfterCrowd = 16;

// --- Searching around rare cases (unicode_form.cpp) ---

// The cases a text's characters have beyond ASCII (ſ for s, the Kelvin sign for k, é), or of another
// length than their fold, are found by their key bytes, and the data around each is read linearly:
// that pays while the keys occur at most once per this many bytes of the first block; past it, the
// form's filter over the whole text is cheaper; later data where they are commoner crowds them
// (reasoned). Both halves pay (hyperfine, 7 runs side by side, AVX2): keys taken whatever the first
// block said, `élève brûlée` in the bench's UTF-8 file took 468 ms against 152 (its keys are common
// continuation bytes); keys that never crowd, `ПРИВЕТСТВИЕ` in the file that is no text, 159 against 114.
inline constexpr double kSampleBytesPerKey = 2000;

}  // namespace quorvin::tuning
