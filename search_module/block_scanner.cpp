#include "search_module/block_scanner.h"

#include <algorithm>

namespace quorvin {

std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText,
                       const ByteTable& fold)
{
    const std::size_t n = foldedText.size();
    if (n == 0) {
        return 0;
    }
    if (haystack.size() < n) {
        return kNotFound;
    }
    const auto first = static_cast<std::uint8_t>(foldedText[0]);
    const std::size_t last = haystack.size() - n;
    for (std::size_t i = 0; i <= last; ++i) {
        if (fold[haystack[i]] != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < n && fold[haystack[i + k]] == static_cast<std::uint8_t>(foldedText[k])) {
            ++k;
        }
        if (k == n) {
            return i;
        }
    }
    return kNotFound;
}

BlockScanner::BlockScanner(std::string_view text, const ByteTable& fold) : folded_(text), fold_(fold)
{
    for (char& c : folded_) {
        c = static_cast<char>(fold_[static_cast<std::uint8_t>(c)]);
    }
    carry_.reserve(folded_.empty() ? 0 : folded_.size() - 1);
}

bool BlockScanner::feed(std::span<const std::uint8_t> block)
{
    if (folded_.empty()) {
        return true;
    }
    const std::size_t keep = folded_.size() - 1;
    if (!carry_.empty() && keep > 0) {
        seam_.assign(carry_.begin(), carry_.end());
        seam_.insert(seam_.end(), block.begin(), block.begin() + std::min(keep, block.size()));
        if (findFolded(seam_, folded_, fold_) != kNotFound) {
            return true;
        }
    }
    if (findFolded(block, folded_, fold_) != kNotFound) {
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
