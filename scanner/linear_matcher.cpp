#include "scanner/linear_matcher.h"

#include <utility>

namespace quorvin {

LinearMatcher::LinearMatcher(std::u32string text) : text_(std::move(text)), border_(text_.size(), 0)
{
    for (std::size_t i = 1; i < text_.size(); ++i) {
        State k = border_[i - 1];
        while (k > 0 && text_[i] != text_[k]) {
            k = border_[k - 1];
        }
        border_[i] = text_[i] == text_[k] ? k + 1 : 0;
    }
    text_.push_back(char32_t{0xFFFFFFFF});  // so that next() never reads past the text
}

namespace {

std::u32string unitsOf(std::string_view bytes)
{
    std::u32string units(bytes.size(), U'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        units[i] = static_cast<std::uint8_t>(bytes[i]);
    }
    return units;
}

}  // namespace

LinearMatcher::LinearMatcher(std::string_view bytes) : LinearMatcher(unitsOf(bytes)) {}

}  // namespace quorvin
