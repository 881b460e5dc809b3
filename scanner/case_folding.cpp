#include "scanner/case_folding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace quorvin::unicode {

namespace {

struct Folding {
    char32_t from;
    char32_t to;
};

constexpr Folding kFoldings[] = {
#include "case_folding_table.inc"
};

constexpr char32_t kCharacters = 0x110000;
constexpr std::size_t kPage = 256;

// Fold lookups run once per character of a file decoded by the linear search, so they go through a
// two-level table of differences: pages without a folding share one page of zeros.
struct Tables {
    std::vector<std::uint16_t> pageOf = std::vector<std::uint16_t>(kCharacters / kPage, 0);
    std::vector<std::array<std::int32_t, kPage>> pages{std::array<std::int32_t, kPage>{}};
    std::vector<Folding> byFold;  // the foldings sorted by the character folded to
    Tables()
    {
        for (const Folding& f : kFoldings) {
            std::uint16_t& page = pageOf[f.from / kPage];
            if (page == 0) {
                page = static_cast<std::uint16_t>(pages.size());
                pages.emplace_back();
            }
            pages[page][f.from % kPage] = static_cast<std::int32_t>(f.to) - static_cast<std::int32_t>(f.from);
        }
        byFold.assign(std::begin(kFoldings), std::end(kFoldings));
        std::stable_sort(byFold.begin(), byFold.end(), [](const Folding& x, const Folding& y) { return x.to < y.to; });
    }
};

const Tables& tables()
{
    static const Tables built;
    return built;
}

}  // namespace

char32_t fold(char32_t c)
{
    if (c >= kCharacters) {
        return c;
    }
    const Tables& t = tables();
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + t.pages[t.pageOf[c / kPage]][c % kPage]);
}

std::vector<char32_t> casesOf(char32_t folded)
{
    const std::vector<Folding>& byFold = tables().byFold;
    const auto [first, last] = std::equal_range(byFold.begin(), byFold.end(), Folding{folded, folded},
                                                [](const Folding& x, const Folding& y) { return x.to < y.to; });
    std::vector<char32_t> cases;
    if (fold(folded) == folded) {
        cases.push_back(folded);
    }
    for (auto f = first; f != last; ++f) {
        cases.push_back(f->from);
    }
    std::sort(cases.begin(), cases.end());
    return cases;
}

std::optional<std::u32string> fromUtf16(std::u16string_view text)
{
    std::u32string characters;
    characters.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            characters.push_back(0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            return std::nullopt;
        } else {
            characters.push_back(unit);
        }
    }
    return characters;
}

}  // namespace quorvin::unicode
