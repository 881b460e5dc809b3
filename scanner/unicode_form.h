#pragma once
// A text as a file may hold it in one Unicode encoding form, each of its characters in any case that
// folds to the same character (case_folding.h). Only bytes that read as characters take part in an
// occurrence: invalid or overlong UTF-8 and surrogates that are not half of a pair never match.
// The fast search looks for the longest run of the text's characters whose cases all take the same
// number of bytes, with the anchor filter over bytes; where its candidates crowd, the bytes are read as
// characters and searched with a linear matcher. Cases as long as their fold are the rule, so where the
// others are rare in the data (the Kelvin sign for k, ᲀ for в), a filter sees the whole text in those
// cases alone and the few others are searched around.
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
#include "scanner/crowding.h"
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

class UnicodeForm final : private Verifier {
public:
    // `foldedText`: the text's characters, each its own fold, at least one.
    UnicodeForm(std::u32string_view foldedText, Encoding encoding);
    // UTF-16 in both byte orders, with one pass over the data: a big-endian occurrence one byte before a
    // little-endian one holds the same bytes but its first, where the high bytes of the text's code
    // units agree (Latin text's zero, Cyrillic's 04); the filter sees those that differ as one class.
    struct BothByteOrders {};
    UnicodeForm(std::u32string_view foldedText, BothByteOrders);
    UnicodeForm(const UnicodeForm&) = delete;
    UnicodeForm& operator=(const UnicodeForm&) = delete;

    // The most bytes an occurrence can take.
    std::size_t longest() const { return longest_; }
    Encoding encoding() const { return encoding_; }
    // Chooses the filter's anchors from the data's first bytes.
    void rank(std::span<const std::uint8_t> sample);
    // Leaves every occurrence written in ASCII alone to the caller, who finds those otherwise (the code
    // page's form): only the data around one of the text's other cases is searched, so the text must
    // have one. UTF-8 only.
    void leaveAsciiOccurrences();
    // Whether the text occurs wholly within `data`.
    bool occursIn(std::span<const std::uint8_t> data);
    // The same, reading every character with the linear matcher alone.
    bool occursInLinearly(std::span<const std::uint8_t> data) const;
    // What the search of this form chose, one line per strategy, each starting with `indent`.
    std::string describe(const std::string& indent) const;

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
    // A case that occurrences may hold, found by looking for its byte that is rarest in the data (its key,
    // at `keyAt` in it); a covering holds cases of which every occurrence searched for holds one.
    struct Beyond {
        Bytes bytes;
        std::uint8_t keyAt;
    };
    using Covering = std::vector<Beyond>;
    // Finds either of two keys with one pass over the data, through an anchor filter; a key alone through
    // memchr, which is faster for one byte.
    class KeyFinder {
    public:
        KeyFinder(std::uint8_t key, std::optional<std::uint8_t> other);
        std::size_t find(std::span<const std::uint8_t> data) const;
        std::string describe() const;

    private:
        std::uint8_t key_;
        std::optional<AnchorFilter> either_;
    };
    // The keys, two to a finder.
    static std::vector<KeyFinder> keyFinders(std::span<const std::uint8_t> keys);
    // Cases searched around: the covering, the finders of its keys, and whether looking for them costs
    // less than searching the whole (it turns false for good where later data proves them common).
    struct Around {
        Covering covering;
        std::vector<KeyFinder> keys;
        bool pay = false;
    };
    UnicodeForm(std::u32string_view foldedText, Encoding encoding, bool withFilter);
    bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const override;
    // Whether the text occurs with character `from` at data[at].
    bool occursInThisOrderAt(std::size_t from, const std::uint8_t* data, std::size_t size, std::size_t at,
                             std::size_t& work) const;
    // The run's filter and, where some cases are not as long as their fold, the filter over the whole.
    void makeFilters();
    // The filter over characters [from, from + count), each in its cases as long as its fold.
    std::unique_ptr<AnchorFilter> makeFilter(std::size_t from, std::size_t count, const Verifier* verifier) const;
    // The bytes of the case of character i that data[at..] starts (or data[..at] ends) with, or 0.
    std::size_t matchAfter(std::size_t i, const std::uint8_t* data, std::size_t size, std::size_t at) const;
    std::size_t matchBefore(std::size_t i, const std::uint8_t* data, std::size_t at) const;
    bool linearFrom(std::span<const std::uint8_t> data, std::size_t start) const;
    bool occursAnywhereIn(std::span<const std::uint8_t> data);
    bool occursThrough(const AnchorFilter* filter, std::span<const std::uint8_t> data);
    // Searches the data around each case of the covering that the keys find; nothing where they find too
    // many.
    std::optional<bool> occursNear(Around& around, std::span<const std::uint8_t> data);
    void chooseCovering(const ByteCounts& counts);
    void chooseOtherLengthKeys(const ByteCounts& counts);

    Encoding encoding_;
    // Bytes that every case of one of the text's characters holds (UTF-16's high byte of Latin text,
    // UTF-8's lead byte of Cyrillic): data without the rarest of them holds no occurrence, and most
    // files are in one form only, so a fast look for that byte spares the search in the others.
    std::vector<std::uint8_t> sharedBytes_;
    int required_ = -1;
    // Chooses the keys that find the covering's cases at least cost, and returns that cost.
    static double chooseKeys(Covering& covering, const ByteCounts& counts, std::vector<std::uint8_t>& keys);
    // With ASCII occurrences left out, every other one holds a case beyond ASCII. Coverings of them: the
    // cases of each character that has none in ASCII, and all the text's cases beyond ASCII; the one whose
    // keys cost least is searched around, with those keys once each, two at a time.
    std::vector<Covering> coverings_;
    Around beyondAscii_;
    std::vector<Character> characters_;
    std::vector<Bytes> cases_;
    std::size_t longest_ = 0;
    std::size_t runFrom_ = 0;  // the run of characters the filter sees
    std::size_t runLength_ = 0;
    std::unique_ptr<UnicodeForm> bigEndian_;  // UTF-16BE, found through this form's filter
    std::unique_ptr<AnchorFilter> filter_;    // none when every character has cases of several lengths
    // The whole text in its cases as long as their folds, and the cases of other lengths, found by their
    // keys; none when there are no such cases.
    struct WholeText final : Verifier {
        explicit WholeText(const UnicodeForm& form) : form(form) {}
        bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const override
        {
            return form.occursInThisOrderAt(0, data, size, at, work);
        }
        const UnicodeForm& form;
    };
    WholeText wholeText_{*this};
    std::unique_ptr<AnchorFilter> foldLengthFilter_;
    Around otherLengths_;
    LinearMatcher linear_;
    Crowding crowding_;
};

}  // namespace quorvin
