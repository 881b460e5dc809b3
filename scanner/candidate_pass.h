#pragma once
// One pass over a block for the filters of every form the text is looked for in: each filter's first
// anchors are compared in the same vector loop, so that a position is looked at once whatever the number
// of forms, and a candidate tells which filter marked it, for that filter to compare it in full.
// Comparing one filter's candidates may cost AnchorFilter::workLimit of the data; past it, the pass stops
// and says which filter crowded, for its form to read the data another way (Crowding, form.h).
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scanner/anchor_filter.h"

namespace quorvin {

struct PassOutcome {
    enum class Kind { NotFound, Found, Crowded };
    Kind kind = Kind::NotFound;
    std::size_t filter = 0;  // the one that found the text, or crowded
    std::size_t at = 0;      // where it found it: its first occurrence, for a pass of one filter
};

// At most this many filters share one vector loop (the code page's, UTF-8's and UTF-16's); the pass
// looks again with the others.
inline constexpr std::size_t kPassFilters = 3;

// Whether any of `filters` occurs in `data`, or which crowded. Each filter has at most three first anchors.
PassOutcome findInOnePass(std::span<const AnchorFilter* const> filters, std::span<const std::uint8_t> data);

// The same, one position at a time, from position `from` on: for data too short for the vector loop and
// the last positions of the shorter filters.
PassOutcome scanScalar(std::span<const AnchorFilter* const> filters, const std::uint8_t* data, std::size_t size,
                       std::size_t from);

namespace scan_paths {

enum class Path { Scalar, Sse2, Avx2, Avx512 };
using Finder = PassOutcome (*)(std::span<const AnchorFilter* const>, const std::uint8_t*, std::size_t);
// The vector pass for `path` (candidate_pass_x86.cpp), or nullptr when this processor (or this build, off
// x86) cannot run it.
namespace x86 {
Finder finder(Path path);
}

// The paths this processor can run, the portable one first.
std::vector<Path> supported();
// Makes every search use `path` from now on (tests try each one); false, and nothing changes, when the
// processor cannot run it. The fastest supported path is used until then.
bool use(Path path);
Path current();
const char* name(Path path);

}  // namespace scan_paths

}  // namespace quorvin
