#include "readers/random_access.h"

#include <algorithm>

namespace quorvin::readers {

std::size_t MemoryAccess::readAt(std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t count = std::min<std::uint64_t>(into.size(), bytes_.size() - offset);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), count, into.begin());
    return count;
}

std::size_t RangeSource::read(std::span<std::uint8_t> into)
{
    const std::size_t wanted = std::min<std::uint64_t>(into.size(), left_);
    if (wanted == 0) {
        return 0;
    }
    const std::size_t got = whole_.readAt(offset_, into.first(wanted));
    if (got == 0) {
        left_ = 0;
        throw UnreadablePart(Fault::Truncated, "the file ends inside the part");
    }
    offset_ += got;
    left_ -= got;
    return got;
}

}  // namespace quorvin::readers
