#include "scanner/candidate_pass.h"

#include <algorithm>
#include <array>
#include <atomic>

namespace quorvin {

namespace scan_paths {

namespace {

Finder finderFor(Path path)
{
    if (path != Path::Scalar) {
        return x86::finder(path);
    }
    return [](std::span<const AnchorFilter* const> filters, const std::uint8_t* data, std::size_t size) {
        return scanScalar(filters, data, size, 0);
    };
}

struct Choice {
    std::atomic<Path> path{supported().back()};
    std::atomic<Finder> finder{finderFor(path)};
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
    static constexpr const char* kNames[] = {"scalar", "sse2", "avx2", "avx512"};
    return kNames[static_cast<int>(path)];
}

}  // namespace scan_paths

PassOutcome scanScalar(std::span<const AnchorFilter* const> filters, const std::uint8_t* data, std::size_t size,
                       std::size_t from)
{
    for (std::size_t f = 0; f < filters.size(); ++f) {
        const AnchorFilter& filter = *filters[f];
        const std::size_t limit = AnchorFilter::workLimit(size - from);
        std::size_t work = 0;
        for (std::size_t i = from; i + filter.length() <= size; ++i) {
            const bool anchored = std::all_of(filter.anchors().begin(), filter.anchors().end(), [&](const Anchor& a) {
                const std::uint8_t x = data[i + a.offset];
                return (x | a.orBits) == a.value || x == a.other;
            });
            if (anchored && filter.accepts(data, size, i, work)) {
                return {PassOutcome::Kind::Found, f, i};
            }
            if (work > limit) {
                return {PassOutcome::Kind::Crowded, f};
            }
        }
    }
    return {};
}

PassOutcome findInOnePass(std::span<const AnchorFilter* const> filters, std::span<const std::uint8_t> data)
{
    const scan_paths::Finder finder = scan_paths::choice().finder.load(std::memory_order_relaxed);
    // A filter without anchors compares every position in full; an empty text occurs anywhere.
    std::array<const AnchorFilter*, kPassFilters> group{};
    std::array<std::size_t, kPassFilters> indexOf{};
    std::size_t grouped = 0;
    const auto runGroup = [&]() {
        PassOutcome outcome = finder(std::span(group.data(), grouped), data.data(), data.size());
        outcome.filter = indexOf[outcome.filter];
        grouped = 0;
        return outcome;
    };
    for (std::size_t f = 0; f < filters.size(); ++f) {
        const AnchorFilter& filter = *filters[f];
        if (filter.length() == 0) {
            return {PassOutcome::Kind::Found, f, 0};
        }
        if (filter.anchors().empty()) {
            PassOutcome outcome = scanScalar(std::span(&filters[f], 1), data.data(), data.size(), 0);
            outcome.filter = f;
            if (outcome.kind != PassOutcome::Kind::NotFound) {
                return outcome;
            }
            continue;
        }
        group[grouped] = &filter;
        indexOf[grouped++] = f;
        if (grouped == kPassFilters) {
            if (const PassOutcome outcome = runGroup(); outcome.kind != PassOutcome::Kind::NotFound) {
                return outcome;
            }
        }
    }
    return grouped > 0 ? runGroup() : PassOutcome{};
}

}  // namespace quorvin
