#pragma once
// The vector passes for x86 processors, chosen at run time by what the processor offers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scanner/candidate_pass.h"

namespace quorvin::scan_paths::x86 {

using Finder = PassOutcome (*)(std::span<const AnchorFilter* const>, const std::uint8_t*, std::size_t);

// The pass for `path`, or nullptr when this processor (or this build, off x86) cannot run it.
Finder finder(Path path);

}  // namespace quorvin::scan_paths::x86
