// The search in UTF-8, UTF-16LE and UTF-16BE beside the code page: the case folding table, and the
// block scanner on every search path against a naive search that decodes the file from every offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/anchor_filter.h"
#include "scanner/block_scanner.h"
#include "scanner/candidate_pass.h"
#include "scanner/case_folding.h"
#include "scanner/unicode_form.h"
#include "tests/naive_search.h"

namespace quorvin {
namespace {

using scan_paths::Path;
using unicode::fold;

const CodePage& cp1252 = CodePage::windows1252();

TEST(CaseFolding, RestrictedToWindows1252GivesItsOwnCasePairs)
{
    const ByteTable& bytes = cp1252.foldTable();
    int pairs = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const bool unicodeSame =
                fold(cp1252.decode(static_cast<std::uint8_t>(a))) == fold(cp1252.decode(static_cast<std::uint8_t>(b)));
            EXPECT_EQ(unicodeSame, bytes[a] == bytes[b]) << a << ' ' << b;
            pairs += a != b && unicodeSame && a < b;
        }
    }
    EXPECT_EQ(pairs, 60);
}

TEST(CaseFolding, IsSimpleFoldingOnly)
{
    EXPECT_EQ(fold(U'K'), U'k');
    EXPECT_EQ(fold(U'\u212A'), U'k');  // Kelvin sign
    EXPECT_EQ(fold(U'\u017F'), U's');  // long s
    EXPECT_EQ(fold(U'\u03A3'), U'\u03C3');
    EXPECT_EQ(fold(U'\u03C2'), U'\u03C3');          // final sigma
    EXPECT_EQ(fold(U'\u1E9E'), U'\u00DF');          // capital sharp s
    EXPECT_EQ(fold(U'\u00DF'), U'\u00DF');          // no full folding to "ss"
    EXPECT_EQ(fold(U'\U00010400'), U'\U00010428');  // Deseret
    EXPECT_EQ(fold(U'\u00E9'), U'\u00E9');
    EXPECT_NE(fold(U'\u00E9'), fold(U'e'));
    EXPECT_EQ(unicode::casesOf(U'k'), (std::vector<char32_t>{U'K', U'k', U'\u212A'}));
    EXPECT_EQ(unicode::casesOf(U'1'), std::vector<char32_t>{U'1'});
    EXPECT_TRUE(unicode::casesOf(U'K').empty());  // no character folds to K
}

#ifdef QUORVIN_CASE_FOLDING_SOURCE
// The table built into the program says what the Unicode Character Database says, line by line.
TEST(CaseFolding, FollowsEveryCommonAndSimpleLineOfTheDatabase)
{
    std::ifstream source(QUORVIN_CASE_FOLDING_SOURCE);
    ASSERT_TRUE(source) << QUORVIN_CASE_FOLDING_SOURCE;
    std::string line;
    int checked = 0;
    while (std::getline(source, line)) {
        std::istringstream fields(line);
        std::string from, status, to;
        if (line.empty() || line[0] == '#' || !std::getline(fields, from, ';') || !(fields >> status) ||
            !(fields.ignore(1) >> to)) {
            continue;
        }
        const auto c = static_cast<char32_t>(std::stoul(from, nullptr, 16));
        if (status == "C;" || status == "S;") {
            ASSERT_EQ(fold(c), std::stoul(to, nullptr, 16)) << line;
            ++checked;
        }
    }
    EXPECT_GT(checked, 1400);
}
#endif

using naive::Form;
using naive::kCodePage;
using naive::kUtf16Be;
using naive::kUtf16Le;
using naive::kUtf8;
using naive::written;

bool naiveOccurs(const std::string& file, const std::u16string& text, Form form)
{
    return naive::firstEnd(file, text, form, cp1252) != naive::kNowhere;
}

bool naiveOccursInAnyForm(const std::string& file, const std::u16string& text)
{
    return naive::firstEndInAnyForm(file, text, cp1252) != naive::kNowhere;
}

bool scan(const std::string& file, const std::u16string& text, std::size_t blockSize = 32000)
{
    BlockScanner scanner(text, cp1252);
    return naive::feedInBlocks(scanner, file, blockSize);
}

std::u16string utf16Text(const std::u32string& text)
{
    std::u16string s;
    for (char32_t c : text) {
        if (c < 0x10000) {
            s += static_cast<char16_t>(c);
        } else {
            s += {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                  static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
        }
    }
    return s;
}

TEST(UnicodeSearch, FindsTheTextInEveryFormWithUnicodeCases)
{
    const std::string bom8 = "\xEF\xBB\xBF", bomLe = "\xFF\xFE", bomBe = "\xFE\xFF";
    struct Example {
        std::u32string file;
        std::u16string text;
        bool found;
    };
    const std::vector<Example> examples = {
        {U"Café crème", u"CAFÉ", true},
        {U"Café crème", u"crème", true},
        {U"x ПРИВЕТ y", u"привет", true},
        {U"\u1C80\u0415\u1C83\u1C84\u0418", u"вести", true},  // old forms of в, с, т: 3 bytes in UTF-8 against 2
        {U"Σ", u"σ", true},
        {U"ς", u"Σ", true},
        {U"\u212Aelvin", u"kelvin", true},  // 3 bytes in UTF-8 against 1
        {U"kelvin", u"\u212Aelvin", true},
        {U"\u017Foleil", u"SOLEIL", true},
        {U"\U00010400\U00010401", u"\U00010428\U00010429", true},  // surrogate pairs in UTF-16
        {U"\u1E9Ee", u"\u00DFE", true},
        {U"cafe", u"café", false},        // accents count
        {U"cafe\u0301", u"café", false},  // no normalisation
        {U"STRASSE", u"straße", false},   // no full folding
        {U"\u03C3", u"s", false},
    };
    for (const Example& e : examples) {
        for (Form form : {kUtf8, kUtf16Le, kUtf16Be}) {
            for (const std::string& prefix : {std::string(), bom8, bomLe, bomBe, std::string("\0", 1)}) {
                const std::string file = prefix + written(e.file, form) + " ";
                EXPECT_EQ(scan(file, e.text), e.found) << form << ' ' << prefix.size() << ' ' << file;
                EXPECT_EQ(naiveOccurs(file, e.text, form), e.found) << form;
            }
        }
    }
}

TEST(UnicodeSearch, BytesThatReadAsNoCharacterNeverMatch)
{
    // Overlong, surrogate, truncated and out-of-range UTF-8 where the text's characters would be.
    for (const std::string& bad : {std::string("\xC1\x81"), std::string("\xE0\x81\x81"), std::string("\xED\xA0\x80"),
                                   std::string("\xF4\x90\x80\x80"), std::string("\xC3"), std::string("\xC3\xC3\xA9")}) {
        EXPECT_FALSE(scan("x" + bad + "x", u"xAx")) << bad;
    }
    EXPECT_TRUE(
        scan("\xC3"
             "caf\xC3\xA9\xA9",
             u"CAFÉ"));  // a valid occurrence among invalid bytes
    EXPECT_FALSE(
        scan("\x80"
             "caf\xC3",
             u"café"));
    for (Encoding encoding : {Encoding::Utf8, Encoding::Utf16Le}) {  // read as characters one by one
        EXPECT_FALSE(
            UnicodeForm(U"xax", encoding).occursLinearly({reinterpret_cast<const std::uint8_t*>("x\xE0\x81\x81x"), 5}));
    }
    // A lone surrogate in the file breaks an occurrence; one in the text leaves it no Unicode form.
    EXPECT_TRUE(scan(std::string("\0\xD8"
                                 "a\0b\0",
                                 6),
                     u"ab"));                                                      // after a lone high surrogate
    EXPECT_TRUE(scan(std::string("\xD8\x01\xD8\x01\xDC\x00", 6), u"\U00010428"));  // a pair after one
    EXPECT_FALSE(scan(std::string("\xD8\x01\x00\x41\xDC\x00", 6), u"\U00010428A"));
    const std::u16string lone = u"a\xD800";
    EXPECT_FALSE(BlockScanner(lone, cp1252).searches());
    EXPECT_FALSE(scan(std::string("a\0\0\xD8", 4) + "a\xED\xA0\x80" + std::string("\0a\xD8\0", 4), lone));
    // Windows-1252's undefined bytes read as U+0081 etc. there, never as UTF-16 or UTF-8 C1 controls.
    EXPECT_TRUE(scan("\x81", u"\u0081"));
    EXPECT_FALSE(scan("\xC2", u"\u0081"));
}

TEST(UnicodeSearch, FilesOfZeroBytesHoldOnlyTextsOfThem)
{
    const std::string zeros(70000, '\0');
    EXPECT_FALSE(scan(zeros, u"a"));
    EXPECT_TRUE(scan(zeros, std::u16string(3, u'\0')));
    EXPECT_TRUE(scan(zeros + "a" + zeros, u"\u6100"));  // "a" and a zero byte read as one UTF-16BE unit
}

// Where the filter's candidates crowd, the answer comes from the linear matcher, the same as the
// naive search's, in every form: `ab` repeated, the text `ab`...`aa`.
// A text that repeats itself, near-missed all over the file. Where the text stops repeating (`ab`... then
// `aa`), the anchors lie at the break, and data that goes on repeating gives the filter no candidate at
// all. A text that repeats to its end gives it candidates everywhere in data made of near misses, and the
// linear matcher takes over.
TEST(UnicodeSearch, CrowdedCandidatesGiveTheSameAnswers)
{
    const auto repeated = [](std::u32string_view part, std::size_t count) {
        std::u32string whole;
        for (std::size_t i = 0; i < count; ++i) whole += part;
        return whole;
    };
    const std::u32string nearMiss = repeated(U"aaaaaaaaaaaaaaab", 19) + U"aaaaaaaaaaaaaaac";
    struct Case {
        std::u32string text, file;
        std::size_t found;  // what the anchor filter gives on the file alone
    };
    const Case cases[] = {
        {repeated(U"ab", 300) + U"aa", repeated(U"ab", 40000), kNotFound},
        {repeated(U"aaaaaaaaaaaaaaab", 20), repeated(nearMiss, 250), kCrowded},
    };
    for (const auto& [text, file, found] : cases) {
        for (Form form : {kCodePage, kUtf8, kUtf16Le, kUtf16Be}) {
            const auto bytes = [&](const std::u32string& s) {
                return form == kCodePage ? written(s, kUtf8) : written(s, form);
            };
            const std::string absent = bytes(file);
            EXPECT_FALSE(scan(absent, utf16Text(text))) << form;
            EXPECT_TRUE(scan(absent + bytes(text), utf16Text(text))) << form;
            // Kelvin's sign takes three bytes in UTF-8, so the text's bytes lie at no fixed distance from it.
            EXPECT_FALSE(scan(bytes(U"\u212A") + absent + bytes(U"aa"), utf16Text(U"k" + text))) << form;
            EXPECT_TRUE(scan(absent + bytes(U"\u212A" + text), utf16Text(U"k" + text))) << form;
        }
        // An occurrence across a later seam, at offsets all across it, is found too: once crowded, the
        // matcher reads on from block to block.
        const std::string absent = written(file, kUtf8);
        for (std::size_t at = 2 * 32000 - text.size(); at <= 2 * 32000; at += 5) {
            std::string crossing = absent;
            crossing.replace(at, text.size(), written(text, kUtf8));
            ASSERT_TRUE(scan(crossing, utf16Text(text))) << at;
        }
        for (Form form : {kUtf8, kUtf16Le}) {
            const std::string data = written(file, form);
            const AnchorFilter filter(written(text, form), cp1252.foldTable());
            EXPECT_EQ(filter.find({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}), found) << form;
        }
    }
}

// The rare cases (ſ for s, ᲀ for в) are found by their key bytes, while those stay rare: where the first
// block is full of them, or later blocks turn out to be, the form takes the filter that sees every
// occurrence, and the answers stay the naive search's whichever way the form went.
TEST(UnicodeSearch, RareCasesAreFoundWhetherTheirKeysAreRareOrCrowd)
{
    std::mt19937 random(26);
    const auto filler = [&](std::u32string_view alphabet, std::size_t count) {
        std::u32string text;
        for (std::size_t i = 0; i < count; ++i) text += alphabet[random() % alphabet.size()];
        return text;
    };
    struct Case {
        std::u16string text;
        std::u32string rare;       // data made of near misses full of the rare cases' key bytes
        std::u32string occurring;  // an occurrence in those cases
    };
    const Case cases[] = {
        {u"salt and tea", U"\u017Falt and te\u017F \u0152 ", U"\u017FALT and tea"},
        {u"kiosk", U"\u212Aios \u212A ", U"\u212Aio\u017F\u212A"},
        {u"\u0432\u043E\u0442", U"\u1C80\u1C82 \u0432\u1C82", U"\u1C80\u1C82\u1C84"},
    };
    const std::size_t block = 32000;
    for (const Case& c : cases) {
        const std::u32string plain = filler(U"abcdefghij \u00E9", 3 * block);
        const std::u32string crowded = filler(c.rare, 3 * block);
        // Keys rare in the first block, crowding from the third on; and crowding from the first block.
        for (const std::u32string& before : {plain + crowded, crowded + plain}) {
            for (Form form : {kUtf8, kUtf16Le}) {
                const std::string absent = written(before, form);
                const std::string present = written(before + c.occurring, form);
                ASSERT_EQ(scan(absent, c.text, block), naiveOccursInAnyForm(absent, c.text)) << form;
                ASSERT_TRUE(scan(present, c.text, block)) << form;
            }
        }
    }
}

TEST(UnicodeSearch, LongestTextsAreFoundAcrossBlocksInEveryForm)
{
    // 32000 characters that take 64000 bytes in UTF-8 and UTF-16, more than a block.
    std::u32string text;
    for (int i = 0; i < 32000; ++i) text += i % 7 == 0 ? U'É' : U'é';
    std::u32string upper(text.size(), U'É');
    for (Form form : {kUtf8, kUtf16Le, kUtf16Be}) {
        const std::string file = "xx" + written(upper, form) + "y";
        EXPECT_TRUE(scan(file, utf16Text(text))) << form;
        EXPECT_FALSE(scan(file.substr(0, file.size() - 3), utf16Text(text))) << form;
    }
}

// --- Random and adversarial files, every search path. ---

class UnicodePaths : public testing::TestWithParam<Path> {
protected:
    void SetUp() override { ASSERT_TRUE(scan_paths::use(GetParam())); }
    void TearDown() override { scan_paths::use(scan_paths::supported().back()); }
    std::mt19937 random_{20261207};
};

// Characters whose cases take different numbers of bytes, near misses of each other, and bytes that
// are no character in some form.
const std::u32string kCharacters =
    U"aAbBkK\u212AsS\u017F\u00DF\u1E9E\u03C3\u03A3\u03C2\u00E9\u00C9e"
    U"\u043F\u041F\U00010400\U00010428\u00E0\u0000\u00C3";
const std::vector<std::string> kBadBytes = {"\xC3",
                                            "\xE2\x84",
                                            "\xED\xA0\x80",
                                            "\xC0\xAF",
                                            std::string("\0\xD8", 2),
                                            std::string("\xD8\0", 2),
                                            std::string("\x00\xDC", 2),
                                            "\xFF\xFE",
                                            "\xEF\xBB\xBF"};

TEST_P(UnicodePaths, AgreeWithTheNaiveSearchOnRandomFiles)
{
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); };
    const auto cased = [&](char32_t c) {
        const std::vector<char32_t> cases = unicode::casesOf(fold(c));
        return cases[pick(cases.size())];
    };
    int found = 0;
    for (int round = 0; round < 1500; ++round) {
        std::u32string text;
        for (std::size_t n = 1 + pick(5); n > 0; --n) text += kCharacters[pick(kCharacters.size())];
        std::string file;
        // Short files that the portable loop searches, and longer ones for the vector loops.
        const std::size_t pieces = pick(2) == 0 ? pick(40) : 100 + pick(300);
        for (std::size_t p = 0; p < pieces; ++p) {
            const auto form = static_cast<Form>(1 + pick(3));
            switch (pick(6)) {
            case 0:
                file += kBadBytes[pick(kBadBytes.size())];
                break;
            case 1:
                file += static_cast<char>(pick(256));
                break;
            case 2: {  // the text, in any case, sometimes one character short
                std::u32string copy;
                for (char32_t c : text) copy += cased(c);
                if (pick(3) == 0) copy.pop_back();
                file += written(copy, form);
                break;
            }
            default:
                file += written(std::u32string(1, cased(kCharacters[pick(kCharacters.size())])), form);
            }
        }
        const std::u16string typed = utf16Text(text);
        const bool expected = naiveOccursInAnyForm(file, typed);
        found += expected;
        const std::size_t blockSize = 1 + pick(40);
        ASSERT_EQ(scan(file, typed, blockSize), expected) << "round " << round << " block " << blockSize;
        ASSERT_EQ(scan(file, typed), expected) << "round " << round;
        // The linear matcher, which the scan falls back on where candidates crowd, reads each form alone.
        std::u32string folded;
        for (char32_t c : text) folded += fold(c);
        for (auto [form, encoding] : {std::pair{kUtf8, Encoding::Utf8}, std::pair{kUtf16Le, Encoding::Utf16Le},
                                      std::pair{kUtf16Be, Encoding::Utf16Be}}) {
            ASSERT_EQ(UnicodeForm(folded, encoding)
                          .occursLinearly({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()}),
                      naiveOccurs(file, typed, form))
                << "round " << round << " form " << form;
        }
    }
    EXPECT_GT(found, 100);
    EXPECT_LT(found, 1400);
}

TEST_P(UnicodePaths, FindTextsPlantedInEachFormAtEveryOffsetAndSeam)
{
    const std::u16string text = u"Σ\u212A\u00E9\U00010400ſ";
    const std::u32string planted = U"ς\u212A\u00C9\U00010428S";  // the same letters, other cases
    for (Form form : {kUtf8, kUtf16Le, kUtf16Be}) {
        const std::string bytes = written(planted, form);
        for (std::size_t at = 0; at < 300; at += 1 + at / 40) {
            // Prose in another form around it, with a near miss that lacks the last character.
            std::string file(at, 'x');
            file += bytes;
            file += std::string(300, 'y') + bytes.substr(0, bytes.size() - 1);
            for (std::size_t blockSize : {std::size_t{7}, std::size_t{64}, std::size_t{300}, std::size_t{32000}}) {
                ASSERT_TRUE(scan(file, text, blockSize)) << form << ' ' << at << ' ' << blockSize;
                std::string broken = file;
                broken[at + bytes.size() / 2] ^= 0x40;
                ASSERT_EQ(scan(broken, text, blockSize), naiveOccursInAnyForm(broken, text)) << form << ' ' << at;
            }
        }
    }
}

// Occurrences found only around a case of another length than its fold (ſ for s, the Kelvin sign for k) or
// beyond ASCII, amid prose that holds neither: each such case must be looked for, not just the first.
TEST_P(UnicodePaths, FindOccurrencesThatHoldOneRareCaseAlone)
{
    const std::string prose(20000, 'x');
    for (const std::u32string& start : {std::u32string(), std::u32string(U"\u0436")}) {  // ж: no code-page form
        const std::u16string text = utf16Text(start + U"sk");
        for (const std::u32string& planted : {std::u32string(U"\u017Fk"), std::u32string(U"s\u212A")}) {
            ASSERT_TRUE(scan(prose + written(start + planted, kUtf8) + prose, text)) << written(planted, kUtf8);
        }
        ASSERT_FALSE(scan(prose + written(start + U"\u017F\u212A", kUtf8).substr(1) + prose, text));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, UnicodePaths, testing::ValuesIn(scan_paths::supported()),
                         [](const testing::TestParamInfo<Path>& info) { return scan_paths::name(info.param); });

}  // namespace
}  // namespace quorvin
