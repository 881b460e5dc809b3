#pragma once
// The fast search behind the block scanner. Rather than folding every byte, it first looks, at every
// position, for the text's rarest bytes (its anchors) at their offsets, in every case that folds to
// them, many positions at once with the processor's vector instructions; only positions where all
// anchors agree are compared in full through the fold table.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/tuning.h"

namespace quorvin {

// Position of a search's first occurrence when there is none.
inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
// What a filter's search returns when its candidates crowd so that comparing them all could take time
// growing with the square of the data: the caller reads the data another way (Crowding, form.h).
inline constexpr std::size_t kCrowded = kNotFound - 1;

// Tells whether the text really occurs at a position where the filter's folded bytes agree, for
// filters that see only part of the text, or see it with more cases than it has.
class Verifier {
public:
    // `at` lies in data[0..size); `work` grows by the bytes compared.
    virtual bool occursAt(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const = 0;

protected:
    ~Verifier() = default;
};

// One byte of the text that the filter looks for: a position's byte x holds it when
// (x | orBits) == value, or x == other.
struct Anchor {
    std::size_t offset = 0;
    std::uint8_t orBits = 0;
    std::uint8_t value = 0;
    std::uint8_t other = 0;
};

// How many times each byte occurs in a sample of the data to be searched.
using ByteCounts = std::array<std::uint32_t, 256>;
ByteCounts countBytes(std::span<const std::uint8_t> sample);

// A byte as the plans print it: two hexadecimal digits.
std::string hexByte(unsigned byte);

class AnchorFilter {
public:
    static constexpr std::size_t kMaxAnchors = 3;

    // `foldedText` is already folded through `fold`. The anchors are the text's rarest bytes in `sample`
    // (counted by countBytes), whatever the code page; without a sample, in ordinary French and English
    // prose.
    AnchorFilter(std::string_view foldedText, const ByteTable& fold, const ByteCounts* sample = nullptr,
                 const Verifier* verifier = nullptr);
    // Chooses the anchors again, as the rarest bytes in `sample`.
    void rank(const ByteCounts* sample);
    // Chooses the anchors from `sample` itself: among the text's rarest bytes, the two (and a third)
    // that occur together, at their distance in the text, at the fewest positions of the sample. Near
    // misses that share the text's rare bytes (a word the data is full of) then fail the anchors. A
    // byte at almost no position of the sample (a digit in prose) is compared alone at every position.
    // Weighs at most tuning::kMaxConsidered bytes, and the two where the text stops repeating itself;
    // costs one pass over the sample, and a look at each place where one of those bytes stands.
    void rank(std::span<const std::uint8_t> sample);

    // Whether the text occurs in `haystack`: a position of an occurrence, kNotFound, or kCrowded once
    // comparing candidates has cost more than workLimit().
    std::size_t find(std::span<const std::uint8_t> haystack) const;
    static std::size_t workLimit(std::size_t size) { return tuning::kWorkPerByte * size + tuning::kWorkSlack; }

    std::size_t length() const { return text_.size(); }
    // The anchors, rarest first.
    std::span<const Anchor> anchors() const { return {anchors_.data(), anchorCount_}; }
    // How many of the anchors (the first ones) every position is compared with; the others are compared
    // only where these agree.
    std::size_t firstAnchors() const { return firstCount_; }
    // Whether the text occurs at data[at]; `work` grows by the bytes compared.
    bool accepts(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const;
    // The anchors as a person reads them: each one's offset and the bytes it takes, those compared at
    // every position first.
    std::string describe() const;

private:
    struct Choice {
        Anchor anchor;
        double chance;  // that a position of the data holds this byte
    };
    // The `keep` rarest of the text's bytes that can be anchors, rarest first, then those at the offsets
    // of repeatBreak_ that are not among them.
    std::vector<Choice> choices(const ByteCounts* sample, std::size_t keep) const;
    // Takes the first of `ranked` as the anchors, those at the offsets of repeatBreak_ first.
    void setRarest(std::vector<Choice> ranked);
    // Takes `chosen` as the anchors; the third one is compared at every position when the first two
    // agree at more than `pairChance` of them. With `lone`, the first one alone is.
    void setAnchors(const std::vector<Choice>& chosen, double pairChance, bool lone = false);

    std::string text_;
    ByteTable fold_;
    const Verifier* verifier_;
    // Where the text stops repeating its start (or its end): two offsets one period apart whose bytes
    // differ, though the bytes before them repeat with that period. Data that goes on repeating, like
    // `abab...` for `abab...aa`, never holds both, however many of its positions agree with the rest of
    // the text. Empty when no repeat is long enough to crowd the candidates.
    std::vector<std::size_t> repeatBreak_;
    std::array<Anchor, kMaxAnchors> anchors_{};
    std::size_t anchorCount_ = 0;
    std::size_t firstCount_ = 0;
};

}  // namespace quorvin
