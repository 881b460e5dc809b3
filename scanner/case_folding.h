#pragma once
// Unicode's simple case folding (CaseFolding.txt, statuses C and S): one character for one, so a
// folded text keeps its length in characters. Two characters are the same letter whatever the case
// when they fold to the same character.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin::unicode {

char32_t fold(char32_t c);

// Every character that folds to `folded` (itself included when it is its own fold), in order.
std::vector<char32_t> casesOf(char32_t folded);

// The characters of a UTF-16 text, or nothing when it holds a surrogate that is not half of a pair.
std::optional<std::u32string> fromUtf16(std::u16string_view text);

}  // namespace quorvin::unicode
