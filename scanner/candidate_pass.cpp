#include "scanner/candidate_pass.h"

#include <array>
#include <atomic>

#include "scanner/candidate_pass_x86.h"

namespace quorvin {

namespace scan_paths {

namespace {

using Finder = x86::Finder;

PassOutcome scalarFinder(std::span<const AnchorFilter* const> filters, const std::uint8_t* data, std::size_t size)
{
    return scanScalar(filters, data, size, 0);
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
    case Path::Scalar:
        return "scalar";
    case Path::Sse2:
        return "sse2";
    case Path::Avx2:
        return "avx2";
    case Path::Avx512:
        return "avx512";
    }
    return "?";
}

}  // namespace scan_paths

PassOutcome scanScalar(std::span<const AnchorFilter* const> filters, const std::uint8_t* data, std::size_t size,
                       std::size_t from)
{
    for (std::size_t f = 0; f < filters.size(); ++f) {
        const std::size_t found = filters[f]->findScalar(data, size, from);
        if (found == kCrowded) {
            return {PassOutcome::Kind::Crowded, f};
        }
        if (found != kNotFound) {
            return {PassOutcome::Kind::Found, f, found};
        }
    }
    return {};
}

bool anyNeedsOther(std::span<const AnchorFilter* const> filters)
{
    for (const AnchorFilter* filter : filters) {
        for (std::size_t a = 0; a < filter->firstAnchors(); ++a) {
            if (filter->anchors()[a].other != filter->anchors()[a].value) {
                return true;
            }
        }
    }
    return false;
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
