#include "readers/source.h"

#include <algorithm>

namespace quorvin::readers {

std::size_t MemorySource::read(std::span<std::uint8_t> into)
{
    const std::size_t count = std::min(into.size(), bytes_.size());
    std::copy_n(bytes_.begin(), count, into.begin());
    bytes_ = bytes_.subspan(count);
    return count;
}

}  // namespace quorvin::readers
