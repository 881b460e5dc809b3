// The block scanner against a naive whole-file search, and the code page it folds with.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "scanner/block_scanner.h"
#include "tests/naive_search.h"

namespace quorvin {
namespace {

const CodePage& cp1252 = CodePage::windows1252();

bool naiveContains(const std::string& file, std::string text)
{
    const ByteTable& fold = cp1252.foldTable();
    for (char& c : text) c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
    return naive::firstFolded(file, text, fold) != naive::kNowhere;
}

bool scanInBlocks(const std::string& file, const std::string& text, std::size_t blockSize)
{
    BlockScanner scanner(text, cp1252.foldTable());
    return naive::feedInBlocks(scanner, file, blockSize);
}

TEST(CodePage, FoldsExactlyWindowsCasePairs)
{
    const ByteTable& fold = cp1252.foldTable();
    int pairs = 0;
    for (int b = 0; b < 256; ++b) pairs += fold[b] != b;
    EXPECT_EQ(pairs, 60);
    EXPECT_EQ(fold['A'], 'a');
    EXPECT_EQ(fold[0x8C], 0x9C);  // Œ œ
    EXPECT_EQ(fold[0x9F], 0xFF);  // Ÿ ÿ
    EXPECT_EQ(fold[0xC9], 0xE9);  // É é
    EXPECT_EQ(fold[0xDE], 0xFE);  // Þ þ
    for (int notAPair : {0xD7, 0xF7, 0xDF, 0xB5, 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x00}) {
        EXPECT_EQ(fold[notAPair], notAPair) << notAPair;
    }
    EXPECT_NE(fold[0xE9], fold['e']);  // é is not e
}

TEST(CodePage, EncodesWithoutBestFit)
{
    EXPECT_EQ(cp1252.encode(u"Œuvre €"), std::string("\x8Cuvre \x80"));
    EXPECT_EQ(cp1252.encode(u"\u0081\u009D"), std::string("\x81\x9D"));
    EXPECT_FALSE(cp1252.encode(u"Δ"));
    EXPECT_FALSE(cp1252.encode(u"\u212A"));  // Kelvin sign, no K
    EXPECT_EQ(cp1252.decode(std::string("\x80\x9F")), u"€Ÿ");
}

TEST(BlockScanner, FindsTextsAcrossSeamsAndNotInPadding)
{
    const std::string file = "xxxxABCyyyy";
    for (std::size_t block = 1; block <= file.size(); ++block) {
        EXPECT_TRUE(scanInBlocks(file, "abc", block)) << block;
        EXPECT_TRUE(scanInBlocks(file, "xabcy", block)) << block;
        EXPECT_FALSE(scanInBlocks(file, "abd", block)) << block;
        EXPECT_FALSE(scanInBlocks(file, "yyyy ", block)) << block;
    }
    EXPECT_FALSE(scanInBlocks("\xE9", "e", 4));
    EXPECT_TRUE(scanInBlocks("\xC9T\xC9", "\xE9t\xE9", 1));
    EXPECT_TRUE(scanInBlocks(std::string("a\0b", 3), std::string("A\0B", 3), 2));
}

TEST(BlockScanner, AgreesWithNaiveSearchOnRandomInputs)
{
    // An alphabet dense in case pairs and near-misses, so that random texts often almost match.
    const std::string alphabet =
        "aAbB\x8A\x9A\x8C\x9C\x8E\x9E\x9F\xFF\xC0\xE0\xD6\xF6\xD7\xF7\xD8\xF8\xDE\xFE\xDF"
        "\xB5\x81\x8D\x8F\x90\x9D oeE\xE9\xC9?";
    ByteTable upper{};
    for (int b = 0; b < 256; ++b) upper[b] = static_cast<std::uint8_t>(b);
    for (int b = 0; b < 256; ++b) {
        if (cp1252.foldTable()[b] != b) upper[cp1252.foldTable()[b]] = static_cast<std::uint8_t>(b);
    }
    std::mt19937 random(20261207);
    auto pick = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s.push_back(alphabet[random() % alphabet.size()]);
        return s;
    };
    for (int round = 0; round < 3000; ++round) {
        std::string file = pick(random() % 200);
        std::string text = pick(1 + random() % 4);
        if (round % 3 == 0 && file.size() > text.size()) {
            // Plant the text, letter case flipped, anywhere, seams included.
            std::string planted = text;
            for (char& c : planted) {
                const std::uint8_t lower = cp1252.foldTable()[static_cast<std::uint8_t>(c)];
                c = static_cast<char>(random() % 2 ? upper[lower] : lower);
            }
            file.replace(random() % (file.size() - text.size()), text.size(), planted);
        }
        const bool expected = naiveContains(file, text);
        for (std::size_t block : {1u, 2u, 3u, 7u, 64u, 32000u}) {
            ASSERT_EQ(scanInBlocks(file, text, block), expected) << "round " << round << " block " << block;
        }
    }
}

}  // namespace
}  // namespace quorvin
