// Every search path this processor can run (portable, SSE2, AVX2, AVX-512), forced on in turn, against
// a naive search through the fold table.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/anchor_filter.h"
#include "scanner/block_scanner.h"
#include "scanner/candidate_pass.h"
#include "tests/naive_search.h"

namespace quorvin {
namespace {

using scan_paths::Path;

std::size_t naiveFind(const std::string& haystack, const std::string& folded, const ByteTable& fold)
{
    const std::size_t at = naive::firstFolded(haystack, folded, fold);
    return at == naive::kNowhere ? kNotFound : at;
}

std::span<const std::uint8_t> bytesOf(const std::string& s, std::size_t from = 0)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()) + from, s.size() - from};
}

// A code page unlike Windows-1252: 'a' has three cases, and 0x10 and 0x93 (more than one bit apart)
// are one letter, so anchors must come from the table given, not from a fixed rule.
ByteTable oddFold()
{
    ByteTable fold = CodePage::windows1252().foldTable();
    fold[0xC1] = 'a';
    fold[0x93] = 0x10;
    return fold;
}

struct Case {
    ByteTable fold;
    std::string alphabet;  // bytes dense in case pairs and near misses
};

std::vector<Case> cases()
{
    const std::string shared = std::string("aAbBeE\xE9\xC9\x8A\x9A\x8C\x9C\x9F\xFF\xD7\xF7 z\0", 20);
    return {{CodePage::windows1252().foldTable(), shared + "\xDF\xB5"}, {oddFold(), shared + "\xC1\x10\x93\x30"}};
}

class ScanPaths : public testing::TestWithParam<Path> {
protected:
    void SetUp() override { ASSERT_TRUE(scan_paths::use(GetParam())); }
    void TearDown() override { scan_paths::use(scan_paths::supported().back()); }

    // Random bytes of `alphabet`, the text sometimes planted with random cases at `at`.
    std::string pick(const std::string& alphabet, std::size_t n)
    {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s.push_back(alphabet[random_() % alphabet.size()]);
        return s;
    }
    void plant(std::string& haystack, const std::string& folded, const ByteTable& fold, std::size_t at)
    {
        for (std::size_t k = 0; k < folded.size(); ++k) {
            std::vector<char> variants;
            for (int b = 0; b < 256; ++b) {
                if (fold[b] == static_cast<std::uint8_t>(folded[k])) variants.push_back(static_cast<char>(b));
            }
            haystack[at + k] = variants[random_() % variants.size()];
        }
    }
    std::string foldAll(std::string s, const ByteTable& fold)
    {
        for (char& c : s) c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
        return s;
    }

    std::mt19937 random_{20261207};
};

TEST_P(ScanPaths, FindsTheFirstOccurrenceLikeTheNaiveSearch)
{
    for (const Case& c : cases()) {
        for (int round = 0; round < 4000; ++round) {
            const std::string text = foldAll(pick(c.alphabet, 1 + random_() % 40), c.fold);
            std::string haystack = pick(c.alphabet, random_() % 700);
            if (round % 2 == 0 && haystack.size() >= text.size()) {
                plant(haystack, text, c.fold, random_() % (haystack.size() - text.size() + 1));
            }
            ASSERT_EQ(findFolded(bytesOf(haystack), text, c.fold), naiveFind(haystack, text, c.fold))
                << "round " << round << " text length " << text.size();
        }
    }
}

TEST_P(ScanPaths, FindsATextAtEveryPositionAndAlignment)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    for (const std::string& text :
         {std::string("zq"), std::string("\x9C\xFF"), std::string("ab e\xE9"), std::string(40, 'e')}) {
        const std::string filler = pick("bB z\xC9", 900);
        for (std::size_t at = 0; at + text.size() <= filler.size(); ++at) {
            std::string planted = filler;
            plant(planted, text, fold, at);
            const std::size_t expected = naiveFind(planted, text, fold);
            ASSERT_LE(expected, at);
            // The same bytes at every alignment the vector loads can meet.
            for (std::size_t shift = 0; shift < 64; ++shift) {
                const std::string haystack = std::string(shift, 'x') + planted;
                ASSERT_EQ(findFolded(bytesOf(haystack, shift), text, fold), expected)
                    << "shift " << shift << " at " << at;
            }
        }
    }
}

// Filters of different lengths share one pass: each is found where only it occurs, up to the data's last
// byte (the shorter ones' last positions lie past the longest's), and the pass names the one that did.
// One whose candidates crowd is named too, though the others occur nowhere.
TEST_P(ScanPaths, OnePassFindsEachOfSeveralFiltersAndNamesTheOneThatCrowds)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const auto repeated = [](const std::string& part, std::size_t count) {
        std::string whole;
        for (std::size_t i = 0; i < count; ++i) whole += part;
        return whole;
    };
    const std::string unit = "aaaaaaaaaaaaaaab";
    const std::string texts[] = {"zq", "\x9C\xFFj", repeated(unit, 20)};
    const AnchorFilter zq(texts[0], fold), oe(texts[1], fold), es(texts[2], fold);
    const AnchorFilter* const filters[] = {&zq, &oe, &es};
    const std::string filler = pick("bB e\xC9", 700);
    for (std::size_t f = 0; f < 3; ++f) {
        for (std::size_t at = 0; at + texts[f].size() <= filler.size(); at += 1 + at / 64) {
            std::string planted = filler;
            plant(planted, texts[f], fold, at);
            const PassOutcome outcome = findInOnePass(filters, bytesOf(planted));
            ASSERT_EQ(outcome.kind, PassOutcome::Kind::Found) << f << " at " << at;
            ASSERT_EQ(outcome.filter, f) << at;
        }
        EXPECT_EQ(findInOnePass(filters, bytesOf(filler)).kind, PassOutcome::Kind::NotFound);
    }
    // The third text, near-missed all over the data: every few positions a candidate of its filter.
    const std::string crowd = repeated(repeated(unit, 19) + "aaaaaaaaaaaaaaac", 250);
    const PassOutcome outcome = findInOnePass(filters, bytesOf(crowd));
    EXPECT_EQ(outcome.kind, PassOutcome::Kind::Crowded);
    EXPECT_EQ(outcome.filter, 2u);
}

// A block-sized file fed as 32000-byte blocks and a short last one, texts up to a block long.
TEST_P(ScanPaths, BlockScannerFindsLongTextsAcrossSeamsAndShortLastBlocks)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::string alphabet = "aAeE\xE9\xC9\x8C\x9C ";
    for (const std::size_t length : {1u, 2u, 39u, 40u, 31990u, 32000u}) {
        for (const std::size_t tail : {0u, 1u, 63u, 64u, 65u, 100u}) {
            std::string file = pick(alphabet, 2 * 32000 + tail);
            const std::string text = foldAll(pick(alphabet, length), fold);
            const std::size_t at = (random_() % 2 ? 32000 + tail : 32000) - length + (length > 1 ? 1 : 0);
            plant(file, text, fold, at);  // across the first seam or the second, when it can be
            for (bool present : {true, false}) {
                std::string scanned = file;
                if (!present) {
                    for (std::size_t k = at; k < at + length; ++k) scanned[k] = 'z';
                }
                BlockScanner scanner(text, fold);
                const bool found = naive::feedInBlocks(scanner, scanned, 32000);
                ASSERT_EQ(found, naiveFind(scanned, text, fold) != kNotFound)
                    << "length " << length << " tail " << tail << " present " << present;
            }
        }
    }
}

// Files whose byte frequencies turn the prose guess upside down (z, q, x, j, k everywhere, accented
// capitals, case pairs more than one bit apart), and whose first block, from which the anchors are
// ranked, is unlike the rest: every text is still found wherever it is, first block, seams or last.
TEST_P(ScanPaths, BlockScannerFindsTextsInFilesUnlikeItsFirstGuessOrItsFirstBlock)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::string odd = "zZqQxXjJkK\xC9\xE9\x8C\x9C\x9F\xFF";
    const std::string firsts[] = {pick("eEtT ", 32000), pick(odd, 32000), std::string(100, 'z')};
    for (const std::string& first : firsts) {
        for (int round = 0; round < 40; ++round) {
            std::string file = first + pick(odd + "e", 3 * 32000 + random_() % 500);
            const std::string text = foldAll(pick(odd + "et", 1 + random_() % 40), fold);
            const std::size_t at = random_() % (file.size() - text.size() + 1);
            if (round % 4 != 3) plant(file, text, fold, at);
            BlockScanner scanner(text, fold);
            const bool found = naive::feedInBlocks(scanner, file, 32000);
            ASSERT_EQ(found, naiveFind(file, text, fold) != kNotFound)
                << "first block " << first.size() << " round " << round << " at " << at;
        }
    }
}

// Files full of near misses: words holding the text's rare bytes at their distances, differing only
// elsewhere, so that the anchors are chosen by what occurs together rather than by rarity. The text
// is found in the first block, across each seam, in the last bytes, and not where it is absent.
TEST_P(ScanPaths, BlockScannerFindsTextsAmongNearMisses)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::pair<std::string, std::string> nearMisses[] = {
        {"\xC9L\xC8VES", "\xE9l\xE8ve "},                           // the final s tells them apart
        {"ha\xFF-les-ros\xE9s", "L'Ha\xFF-les-Roses "},             // one accent tells them apart
        {"\x9C\x9F\x9Cz", "\x8C\xFF\x8C "},                         // every anchor needs its second case
        {std::string("e\0e\0e\0", 6), std::string("E\0E\0E ", 6)},  // bytes without case
    };
    for (const auto& [text, miss] : nearMisses) {
        std::string file;
        while (file.size() < 3 * 32000 + 777) file += miss + pick("eEtT s", random_() % 9);
        const std::string folded = foldAll(text, fold);
        const std::size_t seam = 32000 - text.size() / 2;
        for (const std::size_t at : {std::size_t{40}, seam, 2 * seam, file.size() - text.size() - 50,
                                     file.size() - text.size(), file.size()}) {
            std::string scanned = file;
            if (at < scanned.size()) plant(scanned, folded, fold, at);
            BlockScanner scanner(text, fold);
            const bool found = naive::feedInBlocks(scanner, scanned, 32000);
            ASSERT_EQ(found, naiveFind(scanned, folded, fold) != kNotFound) << "text " << folded << " at " << at;
            ASSERT_EQ(found, at < scanned.size()) << "text " << folded << " at " << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, ScanPaths, testing::ValuesIn(scan_paths::supported()),
                         [](const testing::TestParamInfo<Path>& info) { return scan_paths::name(info.param); });

// The first anchor is the text's byte rarest in the sample, and a byte the sample lacks is rarest of all.
TEST(AnchorRanking, TheFirstAnchorIsTheRarestByteOfTheSample)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::string sample = std::string(500, 'z') + std::string(400, 'Q') + std::string(30, 'E') + "xX";
    const ByteCounts counts = countBytes({reinterpret_cast<const std::uint8_t*>(sample.data()), sample.size()});
    EXPECT_EQ(counts['z'], 500u);
    EXPECT_EQ(counts['E'], 30u);
    for (const std::string text : {"zqex", "exqz", "qzxe"}) {
        AnchorFilter ranked(text, fold, &counts);
        EXPECT_EQ(text[ranked.anchors()[0].offset], 'x') << text;
    }
    EXPECT_EQ(AnchorFilter("zq\xE9", fold, &counts).anchors()[0].offset, 2u);
}

// Chosen on data full of near misses, the anchors that every position is compared with include a
// byte the near misses lack, though it is a common letter.
TEST(AnchorRanking, PicksBytesThatRarelyOccurTogether)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    const std::pair<std::string, std::size_t> cases[] = {
        {"\xC9L\xC8VES", 5},          // "élève " everywhere: the final s
        {"ha\xFF-les-ros\xE9s", 11},  // "L'Haÿ-les-Roses" everywhere: the last é
    };
    for (const auto& [text, telling] : cases) {
        std::string sample;
        for (int k = 0; sample.size() < 32000; ++k) {
            sample += k % 3 == 0 ? "\xE9l\xE8ve " : k % 3 == 1 ? "L'Ha\xFF-les-Roses " : "the tenants sat there ";
        }
        sample += "\xE9s ros\xE9s ";  // the telling byte occurs, just not with the others
        std::string folded = text;
        for (char& c : folded) c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
        AnchorFilter filter(folded, fold);
        filter.rank({reinterpret_cast<const std::uint8_t*>(sample.data()), sample.size()});
        std::vector<std::size_t> first;
        for (std::size_t k = 0; k < filter.firstAnchors(); ++k) first.push_back(filter.anchors()[k].offset);
        EXPECT_NE(std::find(first.begin(), first.end(), telling), first.end())
            << "text of " << folded.size() << " bytes";
    }
}

// A byte the data lacks is compared alone at every position, the others only where it occurs; a text
// whose bytes are all common keeps two at every position.
TEST(AnchorRanking, ComparesAByteTheDataLacksAlone)
{
    const ByteTable& fold = CodePage::windows1252().foldTable();
    std::string sample;
    while (sample.size() < 32000) sample += "The kind tax man sat there, with an \xE9l\xE8ve. ";
    for (const std::string text : {"kx-4711", "tenant"}) {
        AnchorFilter filter(text, fold);
        filter.rank(bytesOf(sample));
        const bool lacked = sample.find(text[filter.anchors()[0].offset]) == std::string::npos;
        EXPECT_EQ(filter.firstAnchors(), lacked ? 1u : 2u) << text;
        EXPECT_EQ(lacked, text == "kx-4711") << text;
    }
}

TEST(ScanPathsChoice, RefusesNothingItListsAndStartsOnTheFastest)
{
    const std::vector<Path> paths = scan_paths::supported();
    EXPECT_EQ(paths.front(), Path::Scalar);
    EXPECT_EQ(scan_paths::current(), paths.back());
    for (Path path : paths) EXPECT_TRUE(scan_paths::use(path));
    scan_paths::use(paths.back());
}

}  // namespace
}  // namespace quorvin
