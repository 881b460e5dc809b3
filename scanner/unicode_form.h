#pragma once
// A text as a file may hold it in one Unicode encoding form, each of its characters in any case that
// folds to the same character (case_folding.h). Only bytes that read as characters take part in an
// occurrence: invalid or overlong UTF-8 and surrogates that are not half of a pair never match.
// Its filters, for the pass over each block: cases as long as their fold are the rule, so a filter sees
// the whole text in those cases, and where a character has others (the Kelvin sign for k, ſ for s, ᲀ for
// в: rare in most data), a second filter finds those cases' key bytes, and the data around each is read
// linearly. Where those keys crowd, a filter over the longest run of characters whose cases all take the
// same number of bytes sees every occurrence; where its candidates crowd too, the bytes are read as
// characters with a linear matcher.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/anchor_filter.h"
#include "scanner/form.h"
#include "scanner/linear_matcher.h"

namespace quorvin {

enum class Encoding { Utf8, Utf16Le, Utf16Be };

// The character that starts at `bytes` in `encoding`, and how many bytes it takes; a byte that starts
// no character reads as LinearMatcher::kNoCharacter and takes one byte in UTF-8, two in UTF-16 (one
// when only one is left).
struct Decoded {
    char32_t character;
    std::size_t size;
};
Decoded decode(Encoding encoding, std::span<const std::uint8_t> bytes);

// The bytes of `character` (no surrogate) in `encoding`.
std::string encode(Encoding encoding, char32_t character);

class UnicodeForm final : public Form, private Verifier {
public:
    // `foldedText`: the text's characters, each its own fold, at least one.
    UnicodeForm(std::u32string_view foldedText, Encoding encoding);
    // UTF-16 in both byte orders, with one filter: a big-endian occurrence one byte before a
    // little-endian one holds the same bytes but its first, where the high bytes of the text's code
    // units agree (Latin text's zero, Cyrillic's 04); the filter sees those that differ as one class.
    struct BothByteOrders {};
    UnicodeForm(std::u32string_view foldedText, BothByteOrders);
    UnicodeForm(const UnicodeForm&) = delete;
    UnicodeForm& operator=(const UnicodeForm&) = delete;

    std::size_t longest() const override { return longest_; }
    // The same, without planning the filters.
    static std::size_t longestOf(std::u32string_view foldedText, Encoding encoding)
    {
        return UnicodeForm(foldedText, encoding, false).longest_;
    }
    // Leaves every occurrence written in ASCII alone to the caller, who finds those otherwise (the code
    // page's form): only the data around one of the text's other cases is read. UTF-8 only; a text
    // whose other cases take more than two key bytes to find is searched whole all the same.
    void leaveAsciiOccurrences();

    void rank(std::span<const std::uint8_t> sample, const ByteCounts& counts) override;
    std::span<const AnchorFilter* const> filters() const override { return lanes_; }
    bool replace(const AnchorFilter* filter) override;
    bool occursLinearly(std::span<const std::uint8_t> data) const override;
    std::optional<std::uint8_t> requiredByte() const override { return required_; }
    std::string describe(const std::string& indent) const override;

private:
    struct Bytes {
        std::uint8_t size;
        std::array<std::uint8_t, 4> bytes;
    };
    struct Character {
        std::size_t first;  // its cases in cases_
        std::size_t count;
        std::uint8_t shortest;  // bytes of its shortest case, of its longest, and of its fold
        std::uint8_t most;
        std::uint8_t foldSize;
    };
    // A case that occurrences may hold, found by one of its bytes, its key, at `keyAt` in it; a covering
    // holds cases of which every occurrence searched for holds one.
    struct Keyed {
        Bytes bytes;
        std::uint8_t keyAt;
    };
    using Covering = std::vector<Keyed>;
    // Where a key byte stands, the data around each case of the covering that holds it there is read
    // linearly; the filter finds the key bytes, one or two.
    struct Keys final : Verifier {
        Keys(const UnicodeForm& form, Covering covering, std::span<const std::uint8_t> keys);
        bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const override;
        const UnicodeForm& form;
        Covering covering;
        AnchorFilter filter;
    };
    // Which filters the pass compares: the keys of the cases beyond ASCII; the whole text in cases as long
    // as their fold, with the keys of the other cases; the run alone.
    enum class Stage { BeyondAscii, Whole, Run };

    UnicodeForm(std::u32string_view foldedText, Encoding encoding, bool withFilters);
    bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const override;
    // Whether the text occurs with character `from` at data[at].
    bool occursInThisOrderAt(std::size_t from, const std::uint8_t* data, std::size_t size, std::size_t at,
                             std::size_t& work) const;
    void makeFilters();
    // The filter over characters [from, from + count), each in its cases as long as its fold.
    std::unique_ptr<AnchorFilter> makeFilter(std::size_t from, std::size_t count, const Verifier* verifier) const;
    // The bytes of the case of character i that data[at..] starts with (or, `before`, data[..at] ends with),
    // or 0.
    std::size_t caseAt(std::size_t i, const std::uint8_t* data, std::size_t size, std::size_t at, bool before) const;
    // The cheapest keys (bytes rarest in `counts`) that find every case of `covering`, at most two; their
    // cost, or nothing when it takes more.
    static std::optional<double> chooseKeys(Covering& covering, const ByteCounts& counts,
                                            std::vector<std::uint8_t>& keys);
    // The covering of the cases beyond ASCII, or of the cases of other lengths, whose keys cost least.
    std::unique_ptr<Keys> keysFor(std::vector<Covering> coverings, const ByteCounts& counts) const;
    Stage firstStage() const;
    void setStage(Stage stage);

    Encoding encoding_;
    std::vector<std::uint8_t> sharedBytes_;  // that every case of one of the text's characters holds
    std::optional<std::uint8_t> required_;   // the rarest of them in the data
    std::vector<Character> characters_;
    std::vector<Character> distinct_;  // each of them once, in the order they first stand in the text
    std::vector<Bytes> cases_;
    std::size_t longest_ = 0;
    std::size_t runFrom_ = 0;  // the run of characters the run's filter sees
    std::size_t runLength_ = 0;
    std::unique_ptr<UnicodeForm> bigEndian_;  // UTF-16BE, found through this form's filter
    std::unique_ptr<AnchorFilter> run_;       // none when every character has cases of several lengths
    // The whole text in its cases as long as their folds; none when there are no other cases.
    struct WholeText final : Verifier {
        explicit WholeText(const UnicodeForm& form) : form(form) {}
        bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const override
        {
            return form.occursInThisOrderAt(0, data, size, at, work);
        }
        const UnicodeForm& form;
    };
    WholeText wholeText_{*this};
    std::unique_ptr<AnchorFilter> whole_;
    std::vector<Covering> otherLengths_;  // the cases of other lengths, as one covering
    std::vector<Covering> beyondAscii_;   // the coverings of the cases beyond ASCII, once they are left alone
    std::unique_ptr<Keys> otherKeys_;
    std::unique_ptr<Keys> beyondKeys_;
    Stage stage_ = Stage::Run;
    std::vector<const AnchorFilter*> lanes_;  // the filters() of this stage
    LinearMatcher linear_;
};

}  // namespace quorvin
