#pragma once
// The vector searches for x86 processors, chosen at run time by what the processor offers.
#include <cstddef>
#include <cstdint>

#include "scanner/anchor_filter.h"

namespace quorvin::scan_paths::x86 {

using Finder = std::size_t (*)(const AnchorFilter&, const std::uint8_t*, std::size_t);

// The search for `path`, or nullptr when this processor (or this build, off x86) cannot run it.
Finder finder(Path path);

}  // namespace quorvin::scan_paths::x86
