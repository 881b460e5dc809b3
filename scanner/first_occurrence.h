#pragma once
// Where a text occurs first in a few bytes, in whichever of the forms the block scanner looks for it
// (the code page's bytes folded through its table; UTF-8, UTF-16LE and UTF-16BE folded as Unicode's simple
// case folding says). The scanner only tells that the text has occurred by the end of a block; this one
// reads again, once, the bytes where it did: each form's characters through a linear matcher that
// remembers where its current match started, so the time is linear in the bytes whatever the text.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/block_scanner.h"
#include "scanner/linear_matcher.h"

namespace quorvin {

enum class TextForm { CodePage, Utf8, Utf16Le, Utf16Be };

struct Occurrence {
    std::size_t start = 0;  // in the bytes searched
    std::size_t size = 0;   // its bytes
    TextForm form = TextForm::CodePage;
    // In the code page's form, the same bytes read as the text in UTF-8 too (a text written in ASCII):
    // which of the two the file is in, only what is around can tell.
    bool utf8Too = false;
};

class FirstOccurrence {
public:
    // The forms BlockScanner(text, codePage, unicode) looks for; UTF-8 in full, ASCII occurrences too,
    // which tells utf8Too.
    explicit FirstOccurrence(const TextForms& forms);
    FirstOccurrence(std::u16string_view text, const CodePage& codePage, bool unicode = true)
        : FirstOccurrence(formsOf(text, codePage, unicode))
    {
    }
    FirstOccurrence(std::u16string_view text, Utf8Only) : FirstOccurrence(formsOf(text, Utf8Only{})) {}

    // The most bytes an occurrence takes in any form.
    std::size_t longest() const { return longest_; }
    // The occurrence that starts first in `bytes`, or nothing; `startsOdd`: the bytes start at an odd
    // offset of the file, which tells UTF-16's parity.
    std::optional<Occurrence> find(std::span<const std::uint8_t> bytes, bool startsOdd = false) const;

private:
    // The first occurrence in `encoding` whose characters start at `from` or later, in the order they are
    // read from there, that starts before `before`.
    std::optional<Occurrence> findIn(TextForm form, std::span<const std::uint8_t> bytes, std::size_t from,
                                     std::size_t before) const;

    const ByteTable* fold_ = nullptr;
    std::optional<LinearMatcher> codePage_;  // over folded bytes
    std::optional<LinearMatcher> unicode_;   // over folded characters
    bool utf16_ = false;
    std::size_t longest_ = 0;
};

}  // namespace quorvin
