#pragma once
// Where the first occurrence of a text is, in the file's own terms: its byte offset and form, its line
// and column in that form, and the line around it. Found after the block scanner has said the text
// occurred in a block: the occurrence is looked for again in the bytes around that block, then what
// precedes it is read again, at read speed, to count its line breaks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "encoding/code_page.h"
#include "scanner/first_occurrence.h"

namespace quorvin {

// Reads bytes of the file (or of the part searched) at a 0-based offset; fewer than asked at its end.
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> into)>;

struct TextPlace {
    std::uint64_t offset = 0;  // of its first byte
    TextForm form = TextForm::CodePage;
    std::uint64_t line = 1;    // from 1: the line breaks before it, plus one
    std::uint64_t column = 1;  // from 1: the characters before it on its line, plus one
    std::u16string excerpt;    // kExcerptCharacters at the most around it, « … » where cut
    std::u16string wholeLine;  // its line, as much as kLineReach characters on either side
};

// What the main window's « Ligne : » field shows whole at its font (313 pixels at 96 dpi, 8.25 points):
// 52 characters of prose, between two « … », take 297 pixels in DejaVu Sans Condensed; 80 took 420.
inline constexpr std::size_t kExcerptCharacters = 52;
// A line of megabytes is shown in part: its whole is for a tool tip.
inline constexpr std::size_t kLineReach = 500;

// The line breaks of one form (LF, CR LF, a lone CR), counted over its code units as the bytes come from
// the start of the file: UTF-16 reads units from `firstUnit` (0 or 1) on, two bytes at a time.
class LineBreaks {
public:
    LineBreaks(TextForm form, std::uint64_t firstUnit);
    // The next bytes, in order from offset 0.
    void feed(std::span<const std::uint8_t> bytes);
    std::uint64_t count() const { return lf_ + cr_ - crLf_; }
    // The offset just past the last break: where the line being read started.
    std::uint64_t lineStart() const { return lineStart_; }

private:
    void unit(std::uint32_t unit, std::uint64_t end);
    std::uint32_t unitAt(std::span<const std::uint8_t> bytes, std::size_t at) const;
    // Counts whole vectors of the bytes, the first at offset `at`; returns how many bytes it counted.
    std::size_t vectors(std::span<const std::uint8_t> bytes, std::uint64_t at);

    std::size_t unitSize_;
    std::uint32_t lf_unit_, cr_unit_;
    std::uint64_t firstUnit_;
    std::uint64_t offset_ = 0;          // bytes fed
    std::optional<std::uint8_t> half_;  // a UTF-16 unit's first byte, its second not fed yet
    bool lastWasCr_ = false;
    std::uint64_t lf_ = 0, cr_ = 0, crLf_ = 0;
    std::uint64_t lineStart_ = 0;
};

// The place of the first occurrence `locator` finds, given that the scanner first told the text had
// occurred once fed the bytes [blockStart, blockEnd) of a file that `read` reads; nothing where it is not
// there after all (the file changed), or once `goOn` says to stop.
std::optional<TextPlace> placeOf(const FirstOccurrence& locator, const CodePage& codePage, const ReadAt& read,
                                 std::uint64_t blockStart, std::uint64_t blockEnd,
                                 const std::function<bool()>& goOn = {});

}  // namespace quorvin
