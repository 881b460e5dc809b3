#include "search_module/block_scanner.h"

#include <algorithm>

namespace quorvin {

namespace {

std::string folded(std::string_view text, const ByteTable& fold)
{
    std::string bytes(text);
    for (char& c : bytes) {
        c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
    }
    return bytes;
}

}  // namespace

std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText,
                       const ByteTable& fold)
{
    return AnchorFilter(foldedText, fold).find(haystack);
}

BlockScanner::BlockScanner(std::string_view text, const ByteTable& fold) : filter_(folded(text, fold), fold)
{
    carry_.reserve(text.empty() ? 0 : text.size() - 1);
}

bool BlockScanner::feed(std::span<const std::uint8_t> block)
{
    if (filter_.length() == 0) {
        return true;
    }
    if (!ranked_ && !block.empty()) {
        filter_.rank(block);
        ranked_ = true;
    }
    const std::size_t keep = filter_.length() - 1;
    if (!carry_.empty() && keep > 0) {
        seam_.assign(carry_.begin(), carry_.end());
        seam_.insert(seam_.end(), block.begin(), block.begin() + std::min(keep, block.size()));
        if (filter_.find(seam_) != kNotFound) {
            return true;
        }
    }
    if (filter_.find(block) != kNotFound) {
        return true;
    }
    if (block.size() >= keep) {
        carry_.assign(block.end() - static_cast<std::ptrdiff_t>(keep), block.end());
    } else {
        carry_.insert(carry_.end(), block.begin(), block.end());
        if (carry_.size() > keep) {
            carry_.erase(carry_.begin(), carry_.end() - static_cast<std::ptrdiff_t>(keep));
        }
    }
    return false;
}

}  // namespace quorvin
