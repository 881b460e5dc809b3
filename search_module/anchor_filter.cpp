#include "search_module/anchor_filter.h"

#include <algorithm>
#include <atomic>
#include <bit>

#include "search_module/anchor_filter_x86.h"
#include "search_module/block_scanner.h"

namespace quorvin {

namespace {

// How often a folded byte turns up in ordinary French and English prose, per ten thousand bytes. Only
// the ranking matters, and only for speed: a wrong guess finds the same occurrences, more slowly. The
// bytes above 127 differ between code pages, so they all get one middling figure.
double frequency(std::uint8_t folded)
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

// Past this chance that a position holds both anchors, a third one pays for its compares.
constexpr double kThirdAnchorAbove = 1.0 / 3000;

}  // namespace

AnchorFilter::AnchorFilter(std::string_view foldedText, const ByteTable& fold) : text_(foldedText), fold_(fold)
{
    struct Choice {
        Anchor anchor;
        double frequency;
    };
    std::vector<Choice> choices;
    for (std::size_t offset = 0; offset < text_.size(); ++offset) {
        const auto folded = static_cast<std::uint8_t>(text_[offset]);
        std::vector<std::uint8_t> variants;
        for (int b = 0; b < 256; ++b) {
            if (fold_[b] == folded) {
                variants.push_back(static_cast<std::uint8_t>(b));
            }
        }
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
        choices.push_back({anchor, frequency(folded)});
    }
    std::stable_sort(choices.begin(), choices.end(),
                     [](const Choice& x, const Choice& y) { return x.frequency < y.frequency; });
    anchorCount_ = std::min<std::size_t>(choices.size(), 2);
    if (choices.size() >= 3 && choices[0].frequency * choices[1].frequency / 1e8 > kThirdAnchorAbove) {
        anchorCount_ = 3;
    }
    for (std::size_t k = 0; k < anchorCount_; ++k) {
        anchors_[k] = choices[k].anchor;
        needsOther_ = needsOther_ || anchors_[k].value != anchors_[k].other;
    }
    std::sort(anchors_.begin(), anchors_.begin() + static_cast<std::ptrdiff_t>(anchorCount_),
              [](const Anchor& x, const Anchor& y) { return x.offset < y.offset; });
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
