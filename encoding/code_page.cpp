#include "encoding/code_page.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace quorvin {

namespace {

std::array<char16_t, 256> windows1252Characters()
{
    // Rows of eight, as the code page's charts show them.
    // clang-format off
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    // clang-format on
    std::array<char16_t, 256> characters{};
    for (int b = 0; b < 256; ++b) {
        characters[b] = static_cast<char16_t>(b);
    }
    std::copy(std::begin(high), std::end(high), characters.begin() + 0x80);
    return characters;
}

ByteTable windows1252LowerCase()
{
    ByteTable lower{};
    for (int b = 0; b < 256; ++b) {
        lower[b] = static_cast<std::uint8_t>(b);
    }
    auto pair = [&](int upper, int lowerByte) { lower[upper] = static_cast<std::uint8_t>(lowerByte); };
    for (int b = 'A'; b <= 'Z'; ++b) pair(b, b + 0x20);
    for (int b = 0xC0; b <= 0xDE; ++b) {
        if (b != 0xD7) pair(b, b + 0x20);  // × and ÷ are no letters
    }
    pair(0x8A, 0x9A);  // Š š
    pair(0x8C, 0x9C);  // Œ œ
    pair(0x8E, 0x9E);  // Ž ž
    pair(0x9F, 0xFF);  // Ÿ ÿ
    return lower;
}

}  // namespace

CodePage::CodePage(const std::array<char16_t, 256>& characters, const ByteTable& lowerCase, std::u16string name)
    : characters_(characters), fold_(lowerCase), name_(std::move(name))
{
    for (int b = 0; b < 256; ++b) {
        byCharacter_[b] = {characters_[b], static_cast<std::uint8_t>(b)};
    }
    std::sort(byCharacter_.begin(), byCharacter_.end(),
              [](const CharacterByte& x, const CharacterByte& y) { return x.character < y.character; });
    asciiByte_.fill(-1);
    for (int b = 0; b < 256; ++b) {
        if (characters_[b] < asciiByte_.size()) {
            asciiByte_[characters_[b]] = static_cast<std::int16_t>(b);
        }
    }
    // A byte's fold must be its own fold, so that folding twice changes nothing.
    for (int b = 0; b < 256; ++b) {
        if (fold_[fold_[b]] != fold_[b]) {
            throw std::invalid_argument("case table is not closed");
        }
    }
}

const CodePage& CodePage::windows1252()
{
    static const CodePage page(windows1252Characters(), windows1252LowerCase(), u"Windows-1252");
    return page;
}

std::u16string CodePage::decode(std::string_view bytes) const
{
    std::u16string text(bytes.size(), u'\0');
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [this](char c) { return decode(static_cast<std::uint8_t>(c)); });
    return text;
}

std::optional<std::string> CodePage::encode(std::u16string_view text) const
{
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text) {
        if (c < asciiByte_.size()) {
            if (asciiByte_[c] < 0) {
                return std::nullopt;
            }
            bytes.push_back(static_cast<char>(asciiByte_[c]));
            continue;
        }
        const auto found = std::lower_bound(byCharacter_.begin(), byCharacter_.end(), c,
                                            [](const CharacterByte& x, char16_t y) { return x.character < y; });
        if (found == byCharacter_.end() || found->character != c) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(found->byte));
    }
    return bytes;
}

}  // namespace quorvin
