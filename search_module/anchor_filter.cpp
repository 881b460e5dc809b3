#include "search_module/anchor_filter.h"

#include <algorithm>
#include <atomic>
#include <bit>

#include "search_module/anchor_filter_x86.h"
#include "search_module/block_scanner.h"

namespace quorvin {

namespace {

// How often a folded byte turns up in ordinary French and English prose, per ten thousand bytes: the
// guess when no data has been seen. Only the ranking matters, and only for speed: a wrong guess finds
// the same occurrences, more slowly. The bytes above 127 differ between code pages, so they all get one
// middling figure.
double guessedFrequency(std::uint8_t folded)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz";
    static constexpr double kLetterFrequency[26] = {
        650, 100, 270, 320, 1200, 120, 130, 250, 600, 40, 40, 420, 240,  // a..m
        580, 550, 220, 70,  550, 600, 600, 400, 110, 80, 30, 90, 15,     // n..z
    };
    if (const char* letter = std::find(kLetters, kLetters + 26, static_cast<char>(folded));
        letter != kLetters + 26) {
        return kLetterFrequency[letter - kLetters];
    }
    switch (folded) {
    case ' ': return 1600;
    case '\r': case '\n': case '.': case ',': return 120;
    default: return folded >= 0x80 ? 20 : 10;
    }
}

// Past this chance that a position holds the two rarest anchors, the third one pays for its compares
// at every position; below it, the third is compared only where the first two agree.
constexpr double kThirdAnchorAbove = 1.0 / 4000;

// The chance that a position holds each folded byte: from the sample where it has any bytes, the guess
// breaking ties (a byte the sample lacks is still likelier in prose if it is a common letter).
std::array<double, 256> foldedChances(const ByteTable& fold, const ByteCounts* sample)
{
    std::array<double, 256> chance{};
    double total = 0;
    if (sample != nullptr) {
        for (int b = 0; b < 256; ++b) {
            chance[fold[b]] += (*sample)[b];
            total += (*sample)[b];
        }
    }
    for (int b = 0; b < 256; ++b) {
        const double guess = guessedFrequency(static_cast<std::uint8_t>(b)) / 1e4;
        chance[b] = total > 0 ? (chance[b] + guess * 1e-3) / total : guess;
    }
    return chance;
}

}  // namespace

ByteCounts countBytes(std::span<const std::uint8_t> sample)
{
    // Four tables, so that runs of one byte do not wait on their own counts.
    std::array<ByteCounts, 4> counts{};
    std::size_t i = 0;
    for (; i + 4 <= sample.size(); i += 4) {
        ++counts[0][sample[i]];
        ++counts[1][sample[i + 1]];
        ++counts[2][sample[i + 2]];
        ++counts[3][sample[i + 3]];
    }
    for (; i < sample.size(); ++i) {
        ++counts[0][sample[i]];
    }
    for (int b = 0; b < 256; ++b) {
        counts[0][b] += counts[1][b] + counts[2][b] + counts[3][b];
    }
    return counts[0];
}

AnchorFilter::AnchorFilter(std::string_view foldedText, const ByteTable& fold, const ByteCounts* sample)
    : text_(foldedText), fold_(fold)
{
    rank(sample);
}

void AnchorFilter::rank(const ByteCounts* sample)
{
    const std::array<double, 256> chance = foldedChances(fold_, sample);
    std::array<std::vector<std::uint8_t>, 256> casesOf;  // the bytes that fold to each byte
    for (int b = 0; b < 256; ++b) {
        casesOf[fold_[b]].push_back(static_cast<std::uint8_t>(b));
    }
    struct Choice {
        Anchor anchor;
        double frequency;
    };
    std::vector<Choice> choices;
    for (std::size_t offset = 0; offset < text_.size(); ++offset) {
        const auto folded = static_cast<std::uint8_t>(text_[offset]);
        const std::vector<std::uint8_t>& variants = casesOf[folded];
        if (variants.empty() || variants.size() > 2) {
            continue;  // no case, or too many to compare at once: the full comparison checks this byte
        }
        Anchor anchor{offset, 0, 0, 0};
        const std::uint8_t a = variants.front();
        const std::uint8_t b = variants.back();
        if (std::popcount(static_cast<unsigned>(a ^ b)) == 1) {
            anchor.orBits = static_cast<std::uint8_t>(a ^ b);  // one OR makes the two cases one byte
            anchor.value = anchor.other = a | b;
        } else {
            anchor.value = a;
            anchor.other = b;
        }
        choices.push_back({anchor, chance[folded]});
    }
    std::stable_sort(choices.begin(), choices.end(),
                     [](const Choice& x, const Choice& y) { return x.frequency < y.frequency; });
    anchors_ = {};
    needsOther_ = false;
    anchorCount_ = std::min(choices.size(), kMaxAnchors);
    firstCount_ = std::min<std::size_t>(anchorCount_, 2);
    if (anchorCount_ == 3 && choices[0].frequency * choices[1].frequency > kThirdAnchorAbove) {
        firstCount_ = 3;
    }
    for (std::size_t k = 0; k < anchorCount_; ++k) {
        anchors_[k] = choices[k].anchor;
        needsOther_ = needsOther_ || anchors_[k].value != anchors_[k].other;
    }
}

bool AnchorFilter::matchesAt(const std::uint8_t* position) const
{
    for (std::size_t k = 0; k < text_.size(); ++k) {
        if (fold_[position[k]] != static_cast<std::uint8_t>(text_[k])) {
            return false;
        }
    }
    return true;
}

std::size_t AnchorFilter::findScalar(const std::uint8_t* data, std::size_t size) const
{
    if (size < text_.size()) {
        return kNotFound;
    }
    const Anchor first = anchorCount_ > 0 ? anchors_[0] : Anchor{};
    for (std::size_t i = 0; i + text_.size() <= size; ++i) {
        const std::uint8_t x = data[i + first.offset];
        const bool anchored = anchorCount_ == 0 || (x | first.orBits) == first.value || x == first.other;
        if (anchored && matchesAt(data + i)) {
            return i;
        }
    }
    return kNotFound;
}

namespace scan_paths {

namespace {

using Finder = std::size_t (*)(const AnchorFilter&, const std::uint8_t*, std::size_t);

std::size_t scalarFinder(const AnchorFilter& filter, const std::uint8_t* data, std::size_t size)
{
    return filter.findScalar(data, size);
}

Finder finderFor(Path path)
{
    return path == Path::Scalar ? scalarFinder : x86::finder(path);
}

struct Choice {
    std::atomic<Finder> finder;
    std::atomic<Path> path;
    Choice() : finder(finderFor(supported().back())), path(supported().back()) {}
};

Choice& choice()
{
    static Choice chosen;
    return chosen;
}

}  // namespace

std::vector<Path> supported()
{
    std::vector<Path> paths{Path::Scalar};
    for (Path path : {Path::Sse2, Path::Avx2, Path::Avx512}) {
        if (x86::finder(path) != nullptr) {
            paths.push_back(path);
        }
    }
    return paths;
}

bool use(Path path)
{
    const Finder finder = finderFor(path);
    if (finder == nullptr) {
        return false;
    }
    choice().finder = finder;
    choice().path = path;
    return true;
}

Path current()
{
    return choice().path;
}

const char* name(Path path)
{
    switch (path) {
    case Path::Scalar: return "scalar";
    case Path::Sse2: return "sse2";
    case Path::Avx2: return "avx2";
    case Path::Avx512: return "avx512";
    }
    return "?";
}

}  // namespace scan_paths

std::size_t AnchorFilter::find(std::span<const std::uint8_t> haystack) const
{
    if (text_.empty()) {
        return 0;
    }
    return scan_paths::choice().finder.load(std::memory_order_relaxed)(*this, haystack.data(), haystack.size());
}

}  // namespace quorvin
