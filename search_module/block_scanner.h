#pragma once
// Finds a text in a file read block by block, ignoring letter case as a code page's fold table says.
// An occurrence that spans the seam between two blocks is found too: the last (text length - 1) bytes
// of what was fed are carried into the next block. The filter's anchors are chosen on the first block:
// the text's bytes that occur together, at their distance in the text, at the fewest of its positions, so
// that the choice fits the file's language, code page and the words it is full of.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search_module/anchor_filter.h"
#include "encoding/code_page.h"

namespace quorvin {

class BlockScanner {
public:
    // `text` is the search text in the code page's bytes.
    BlockScanner(std::string_view text, const ByteTable& fold);

    // Takes the next bytes of the file; true once the text has occurred in all that was fed so far.
    bool feed(std::span<const std::uint8_t> block);

private:
    AnchorFilter filter_;  // the text, folded
    bool ranked_ = false;  // the anchors were chosen from the data
    std::vector<std::uint8_t> carry_;  // the last bytes fed, at most text length - 1
    std::vector<std::uint8_t> seam_;   // carry followed by the head of the next block
};

// Position of the first occurrence of `foldedText` (already folded) in `haystack`, or npos.
inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText,
                       const ByteTable& fold);

}  // namespace quorvin
