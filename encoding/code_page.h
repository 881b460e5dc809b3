#pragma once
// A single-byte code page: how each byte of a file reads as a character, which bytes are the same letter
// in another case, and how a search text is written in bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

using ByteTable = std::array<std::uint8_t, 256>;

class CodePage {
public:
    // `characters[b]` is the character byte b reads as; every byte must read as a different character.
    // `lowerCase[b]` is the byte of b's lower-case letter, or b itself when b is no upper-case letter.
    // `name` is how the user knows it, as Windows names it (« Windows-1252 »).
    CodePage(const std::array<char16_t, 256>& characters, const ByteTable& lowerCase, std::u16string name = {});

    // Windows-1252, with Windows' own case pairs; its five undefined bytes read as U+0081, U+008D,
    // U+008F, U+0090 and U+009D.
    static const CodePage& windows1252();

    char16_t decode(std::uint8_t byte) const { return characters_[byte]; }
    std::u16string decode(std::string_view bytes) const;

    // The bytes of `text`, or nothing when a character has no byte of its own here (no best fit: such a
    // text can never occur in a file of this code page).
    std::optional<std::string> encode(std::u16string_view text) const;

    // Maps each byte to the one byte that stands for its letter whatever the case.
    const ByteTable& foldTable() const { return fold_; }

    const std::u16string& name() const { return name_; }

private:
    struct CharacterByte {
        char16_t character;
        std::uint8_t byte;
    };
    std::array<char16_t, 256> characters_;
    std::array<CharacterByte, 256> byCharacter_;  // sorted by character, for encode()
    std::array<std::int16_t, 128> asciiByte_;     // each ASCII character's byte, or -1: most texts are ASCII
    ByteTable fold_;
    std::u16string name_;
};

}  // namespace quorvin
