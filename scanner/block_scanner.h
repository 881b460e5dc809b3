#pragma once
// Finds a text in a file read block by block, in every form the file may hold it in: the code page's
// bytes, ignoring letter case as the code page's fold table says, and UTF-8, UTF-16LE and UTF-16BE,
// ignoring case as Unicode's simple case folding says (unicode_form.h). An occurrence that spans the
// seam between two blocks is found too: the last bytes fed, as many as the longest occurrence less one,
// are carried into the next block. The plan is made once, on the first block: each form's anchors are
// the text's bytes that occur together, at their distance in the text, at the fewest of its positions,
// so that the choice fits the file's language, encoding and the words it is full of. Then one pass over
// each block compares the candidates of every form's filters (candidate_pass.h).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/form.h"

namespace quorvin {

// The forms a text is looked for in, chosen once for the block scanner and for what finds the place of
// an occurrence again.
struct TextForms {
    std::optional<std::string> codePage;    // the text's bytes in the code page, folded through its table
    std::optional<std::u32string> unicode;  // its characters, each folded: in UTF-8, and in UTF-16 if `utf16`
    bool utf16 = false;
    // Every UTF-8 occurrence written in ASCII alone is one of the code page's too: the UTF-8 form need
    // only look for the others, and none at all where every case of the text is ASCII.
    bool utf8InAsciiIsCodePage = false;
    bool utf8Beyond = false;  // the text has a case beyond ASCII (ſ for s, the Kelvin sign for k, é)
    const ByteTable* fold = nullptr;
};

// Every form `text` has: the code page's when it can write every character (no best fit), the Unicode
// ones when the text holds no surrogate that is not half of a pair; with `unicode` false, the code
// page's alone.
TextForms formsOf(std::u16string_view text, const CodePage& codePage, bool unicode = true);
// UTF-8 alone, as the text of a document is read out of its markup.
struct Utf8Only {};
TextForms formsOf(std::u16string_view text, Utf8Only);

class BlockScanner {
public:
    // The code page's form alone; `text` is the search text in the code page's bytes.
    BlockScanner(std::string_view text, const ByteTable& fold);
    BlockScanner(std::u16string_view text, const CodePage& codePage, bool unicode = true)
        : BlockScanner(formsOf(text, codePage, unicode))
    {
    }
    using Utf8Only = quorvin::Utf8Only;
    BlockScanner(std::u16string_view text, Utf8Only) : BlockScanner(formsOf(text, Utf8Only{})) {}
    explicit BlockScanner(const TextForms& forms);

    // Whether the text has any form to look for: without one, it can occur in no file.
    bool searches() const { return !forms_.empty(); }

    // Takes the next bytes of the file; true once the text has occurred in all that was fed so far.
    bool feed(std::span<const std::uint8_t> block);
    // The next bytes fed start a file of their own: no occurrence spans what was fed before and after. The
    // anchors chosen on the first file stay.
    void restart() { carry_.clear(); }
    // The plan the scanner follows, one line per choice, as chosen on the first block fed (or guessed
    // before one): which forms it looks for and how.
    std::string describe() const;

private:
    // Chooses every form's anchors on the first bytes of the data.
    void plan(std::span<const std::uint8_t> first);
    bool occursIn(std::span<const std::uint8_t> data);

    std::vector<std::unique_ptr<Form>> forms_;
    std::size_t keep_ = 0;             // the most bytes an occurrence takes in any form, less one
    bool planned_ = false;             // the anchors were chosen from the data
    std::vector<std::uint8_t> carry_;  // the last bytes fed, at most keep_
    std::vector<std::uint8_t> seam_;   // carry followed by the head of the next block
};

// Position of the first occurrence of `foldedText` (already folded) in `haystack`, or kNotFound.
std::size_t findFolded(std::span<const std::uint8_t> haystack, std::string_view foldedText, const ByteTable& fold);

}  // namespace quorvin
