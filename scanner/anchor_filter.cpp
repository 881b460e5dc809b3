#include "scanner/anchor_filter.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <utility>

#include "scanner/candidate_pass.h"
#include "scanner/tuning.h"

namespace quorvin {

namespace {

using namespace tuning;

// The chance that a position holds each folded byte: how often the sample holds it. A byte the sample lacks
// counts as a thousandth of an occurrence, rarest of all; without a sample every byte is as likely.
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
    for (double& c : chance) {
        c = total > 0 ? (c + 1e-3) / total : 1.0 / 256;
    }
    return chance;
}

// The longest repeat of `text`'s start that `text` breaks: how many bytes at its period repeat the start,
// and the period, with text[repeated] != text[period + repeated]. Z algorithm: linear in the text.
std::pair<std::size_t, std::size_t> longestBrokenRepeat(std::string_view text)
{
    const std::size_t size = text.size();
    std::vector<std::uint32_t> z(size);  // z[p]: how many of the text's first bytes text[p..] starts with
    std::pair<std::size_t, std::size_t> longest{0, 0};
    for (std::size_t p = 1, from = 0, to = 0; p < size; ++p) {
        std::size_t k = p < to ? std::min<std::size_t>(to - p, z[p - from]) : 0;
        while (p + k < size && text[k] == text[p + k]) ++k;
        z[p] = static_cast<std::uint32_t>(k);
        if (p + k > to) from = p, to = p + k;
        if (p + k < size && k > longest.first) longest = {k, p};
    }
    return longest;
}

std::vector<std::size_t> repeatBreak(std::string_view text)
{
    const auto [forward, period] = longestBrokenRepeat(text);
    const auto [backward, backPeriod] = longestBrokenRepeat(std::string(text.rbegin(), text.rend()));
    if (std::max(forward, backward) < kRepeatThatCrowds) {
        return {};
    }
    if (forward >= backward) {
        return {forward, forward + period};
    }
    const std::size_t last = text.size() - 1;
    return {last - backward - backPeriod, last - backward};
}

}  // namespace

std::string hexByte(unsigned byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string{kDigits[byte >> 4 & 15], kDigits[byte & 15]};
}

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

AnchorFilter::AnchorFilter(std::string_view foldedText, const ByteTable& fold, const ByteCounts* sample,
                           const Verifier* verifier)
    : text_(foldedText), fold_(fold), verifier_(verifier), repeatBreak_(repeatBreak(foldedText))
{
    rank(sample);
}

std::vector<AnchorFilter::Choice> AnchorFilter::choices(const ByteCounts* sample, std::size_t keep) const
{
    const std::array<double, 256> chance = foldedChances(fold_, sample);
    // The bytes that fold to each byte: how many, the lowest and the highest.
    std::array<std::uint16_t, 256> caseCount{};
    std::array<std::uint8_t, 256> lowest{}, highest{};
    for (int b = 255; b >= 0; --b) {
        const std::uint8_t folded = fold_[b];
        if (caseCount[folded]++ == 0) highest[folded] = static_cast<std::uint8_t>(b);
        lowest[folded] = static_cast<std::uint8_t>(b);
    }
    // How each folded byte is compared, if it can be: no case, or too many to compare at once, and the
    // full comparison alone checks it.
    std::array<std::optional<Anchor>, 256> compared{};
    for (int folded = 0; folded < 256; ++folded) {
        if (caseCount[folded] == 0 || caseCount[folded] > 2) {
            continue;
        }
        Anchor& anchor = compared[folded].emplace();
        const std::uint8_t a = lowest[folded];
        const std::uint8_t b = highest[folded];
        if (std::popcount(static_cast<unsigned>(a ^ b)) == 1) {
            anchor.orBits = static_cast<std::uint8_t>(a ^ b);  // one OR makes the two cases one byte
            anchor.value = anchor.other = a | b;
        } else {
            anchor.value = a;
            anchor.other = b;
        }
    }
    // The `keep` rarest, the earliest first among equals, kept in order as the text is read once.
    std::vector<Choice> found;
    found.reserve(keep + 1);
    for (std::size_t offset = 0; offset < text_.size(); ++offset) {
        const auto folded = static_cast<std::uint8_t>(text_[offset]);
        if (!compared[folded] || (found.size() == keep && chance[folded] >= found.back().chance)) {
            continue;
        }
        Choice choice{*compared[folded], chance[folded]};
        choice.anchor.offset = offset;
        found.insert(std::upper_bound(found.begin(), found.end(), choice,
                                      [](const Choice& x, const Choice& y) { return x.chance < y.chance; }),
                     choice);
        if (found.size() > keep) {
            found.pop_back();
        }
    }
    for (const std::size_t offset : repeatBreak_) {
        const auto folded = static_cast<std::uint8_t>(text_[offset]);
        const bool listed =
            std::any_of(found.begin(), found.end(), [&](const Choice& c) { return c.anchor.offset == offset; });
        if (compared[folded] && !listed) {
            Choice choice{*compared[folded], chance[folded]};
            choice.anchor.offset = offset;
            found.push_back(choice);
        }
    }
    return found;
}

// Without data enough to count pairs on, a text that repeats itself is anchored where it stops repeating:
// repeating data is what crowds candidates, and rare bytes do not help against it.
void AnchorFilter::setRarest(std::vector<Choice> ranked)
{
    std::stable_partition(ranked.begin(), ranked.end(), [&](const Choice& c) {
        return std::find(repeatBreak_.begin(), repeatBreak_.end(), c.anchor.offset) != repeatBreak_.end();
    });
    setAnchors(ranked, ranked.size() >= 2 ? ranked[0].chance * ranked[1].chance : 0);
}

void AnchorFilter::setAnchors(const std::vector<Choice>& chosen, double pairChance, bool lone)
{
    anchorCount_ = std::min(chosen.size(), kMaxAnchors);
    firstCount_ = std::min<std::size_t>(anchorCount_, lone ? 1 : 2);
    if (anchorCount_ == 3 && pairChance > kThirdAnchorAbove && !lone) {
        firstCount_ = 3;
    }
    std::transform(chosen.begin(), chosen.begin() + anchorCount_, anchors_.begin(),
                   [](const Choice& c) { return c.anchor; });
}

void AnchorFilter::rank(const ByteCounts* sample)
{
    setRarest(choices(sample, kMaxAnchors));
}

void AnchorFilter::rank(std::span<const std::uint8_t> sample)
{
    const ByteCounts counts = countBytes(sample);
    std::vector<Choice> ranked = choices(&counts, kMaxConsidered);
    // Too few positions to count pairs on, or nothing to choose between: the rarest bytes.
    if (ranked.size() <= 2 || sample.size() < text_.size() + kFewestPositions) {
        setRarest(std::move(ranked));
        return;
    }
    const std::size_t positions = sample.size() - text_.size() + 1;
    const std::size_t words = (positions + 63) / 64;
    // For each byte considered, the positions of the sample where the text could start as far as that
    // byte says: bit p of holds[c] is set when the sample's byte at p + offset folds to it. One pass over
    // the sample marks them all, through which of them each folded byte is (bit c for ranked[c]).
    std::vector<std::vector<std::uint64_t>> holds(ranked.size(), std::vector<std::uint64_t>(words));
    static_assert(kMaxConsidered + 2 <= 16);
    std::array<std::uint16_t, 256> considered{};
    for (std::size_t c = 0; c < ranked.size(); ++c) {
        considered[static_cast<std::uint8_t>(text_[ranked[c].anchor.offset])] |= static_cast<std::uint16_t>(1u << c);
    }
    for (std::size_t q = 0; q < sample.size(); ++q) {
        for (unsigned bits = considered[fold_[sample[q]]]; bits != 0; bits &= bits - 1) {
            const auto c = static_cast<std::size_t>(std::countr_zero(bits));
            const std::size_t offset = ranked[c].anchor.offset;
            if (q >= offset && q - offset < positions) {
                holds[c][(q - offset) / 64] |= std::uint64_t{1} << ((q - offset) % 64);
            }
        }
    }
    const auto together = [&](std::initializer_list<std::size_t> of) {
        std::size_t count = 0;
        for (std::size_t w = 0; w < words; ++w) {
            std::uint64_t all = ~std::uint64_t{0};
            for (std::size_t c : of) all &= holds[c][w];
            if (all != 0) count += static_cast<std::size_t>(std::popcount(all));
        }
        return count;
    };
    // A pair's score: the positions where both agree, plus what chance alone would give, so that
    // between pairs the sample never saw together, the rarer bytes win.
    const double n = static_cast<double>(positions);
    std::size_t first = 0, second = 1, pairCount = 0;
    double best = -1;
    for (std::size_t a = 0; a < ranked.size(); ++a) {
        for (std::size_t b = a + 1; b < ranked.size(); ++b) {
            const std::size_t count = together({a, b});
            const double score = static_cast<double>(count) + ranked[a].chance * ranked[b].chance * n;
            if (best < 0 || score < best) {
                best = score;
                first = a, second = b, pairCount = count;
            }
        }
    }
    std::vector<Choice> chosen{ranked[first], ranked[second]};
    std::size_t third = ranked.size();
    best = -1;
    for (std::size_t c = 0; c < ranked.size(); ++c) {
        if (c == first || c == second) continue;
        const double score = static_cast<double>(together({first, second, c})) + ranked[c].chance;
        if (best < 0 || score < best) {
            best = score;
            third = c;
        }
    }
    chosen.push_back(ranked[third]);
    // ranked[0] is the byte rarest in the sample.
    const bool lone = ranked[0].chance < kLoneAnchorBelow;
    if (lone) {
        std::erase_if(chosen, [&](const Choice& c) { return c.anchor.offset == ranked[0].anchor.offset; });
        chosen.insert(chosen.begin(), ranked[0]);
    }
    setAnchors(chosen, static_cast<double>(pairCount) / n, lone);
}

bool AnchorFilter::accepts(const std::uint8_t* data, std::size_t size, std::size_t at, std::size_t& work) const
{
    const std::uint8_t* position = data + at;
    for (std::size_t k = 0; k < text_.size(); ++k) {
        if (fold_[position[k]] != static_cast<std::uint8_t>(text_[k])) {
            work += k + 1;
            return false;
        }
    }
    work += text_.size();
    return verifier_ == nullptr || verifier_->occursAt(data, size, at, work);
}

std::string AnchorFilter::describe() const
{
    std::string out = std::to_string(text_.size()) + " bytes, anchors";
    for (std::size_t k = 0; k < anchorCount_; ++k) {
        const Anchor& a = anchors_[k];
        out += (k == firstCount_ ? " then" : "") + std::string(" @") + std::to_string(a.offset) + " ";
        out += a.orBits != 0 ? hexByte(a.value & ~a.orBits) + "|" + hexByte(a.value) : hexByte(a.value);
        if (a.other != a.value) {
            out += "|" + hexByte(a.other);
        }
    }
    return out;
}

std::size_t AnchorFilter::find(std::span<const std::uint8_t> haystack) const
{
    const AnchorFilter* self = this;
    const PassOutcome outcome = findInOnePass(std::span(&self, 1), haystack);
    return outcome.kind == PassOutcome::Kind::Crowded ? kCrowded
           : outcome.kind == PassOutcome::Kind::Found ? outcome.at
                                                      : kNotFound;
}

}  // namespace quorvin
