// Faults that every build meets alike, searched through the real ScanFile and the system's file service:
// a file removed, renamed, cut short or grown around the search, a sparse file of 5 GiB, and texts that
// cannot occur. Each build compiles this file into its own fault suite with its own FaultTest fixture
// (fault_test_fixture.h, found in that build's folder).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fault_test_fixture.h"
#include "search_module/scan_options.h"

namespace quorvin::faults {
namespace {

namespace fs = std::filesystem;

TEST_F(FaultTest, FileRemovedOrRenamedAfterItWasChosen)
{
    auto& window = static_cast<testing::FakeWindow&>(form.window());
    const std::u16string previous = write("previous.txt", "0123456789");
    EXPECT_EQ(scan(previous, u"no such text").caption, kNotFound);
    const std::u16string oldTime = form.Text1().text();

    for (const bool renamed : {false, true}) {
        const std::u16string chosen = write("chosen.txt", "needle");
        fake.openFileDialog.answers.push_back(chosen);
        window.type("ScanString", u"needle");
        window.click("Scan_Select");  // switches to choosing and opens the dialog
        ASSERT_EQ(form.SelectedFile, chosen);
        if (renamed) {
            fs::rename(dir / "chosen.txt", dir / "moved.txt");
        } else {
            fs::remove(dir / "chosen.txt");
        }
        fake.messageBox.shown.clear();
        window.click("Scan_Select");
        ASSERT_EQ(fake.messageBox.shown.size(), 1u);
        expectError(fake.messageBox.shown[0], chosen, kGone);
        EXPECT_EQ(form.Text4().text(), chosen);
        EXPECT_EQ(form.Text2().text(), u"") << "the size of the previous file is still shown";
        EXPECT_EQ(form.Text1().text(), oldTime);
        EXPECT_EQ(form.Scan_Select().text(), u"Selectionner un fichier...");
    }
    EXPECT_EQ(scan(path("moved.txt"), u"NEEDLE").caption, kFound);
}

TEST_F(FaultTest, FileRemovedOrRenamedWhileReadIsReadToItsEnd)
{
    // The open file stays whole on Linux until it is closed, whatever happens to its name.
    MeddledFiles meddled(systemFiles());
    platform::services().binaryFiles = &meddled;
    const std::u16string file = write("big.txt", std::string(3 * ScanOptioons::BlockSize, 'x') + "needle");
    meddled.meddleBeforeRead = 1;
    meddled.meddle = [&] { fs::rename(dir / "big.txt", dir / "elsewhere.txt"); };
    EXPECT_EQ(scan(file, u"needle").caption, kFound);
    meddled.meddle = [&] { fs::remove(dir / "elsewhere.txt"); };
    EXPECT_EQ(scan(path("elsewhere.txt"), u"needle").caption, kFound);
    EXPECT_FALSE(fs::exists(dir / "elsewhere.txt"));
}

TEST_F(FaultTest, FileTruncatedOrAppendedToWhileRead)
{
    MeddledFiles meddled(systemFiles());
    platform::services().binaryFiles = &meddled;
    const std::size_t block = ScanOptioons::BlockSize;
    const std::string start(3 * block, 'x');
    const auto decimal = [](std::size_t n) {
        const std::string digits = std::to_string(n);
        return std::u16string(digits.begin(), digits.end());
    };

    // Cut after the first block: the search ends there, with the size taken at the start.
    const std::u16string cut = write("cut.txt", start + "needle");
    meddled.meddleBeforeRead = 1;
    meddled.meddle = [&] { fs::resize_file(dir / "cut.txt", block + 8000); };
    EXPECT_EQ(scan(cut, u"needle").caption, kNotFound);
    EXPECT_EQ(meddled.bytesRead, static_cast<std::int64_t>(block + 8000));
    EXPECT_EQ(form.Text2().text(), decimal(start.size() + 6));

    // Cut inside the block that holds the text: the part still there is searched.
    write("cut.txt", start + "needle" + start);
    meddled.bytesRead = 0;
    meddled.meddle = [&] { fs::resize_file(dir / "cut.txt", start.size() + 6); };
    const testing::MessageRecord shown = scan(cut, u"needle");
    EXPECT_EQ(shown.caption, kFound);
    EXPECT_TRUE(contains(shown.text, decimal(start.size() + 6) + u" Octets"))
        << "the found message tells the length at its time";
    EXPECT_EQ(form.Text2().text(), decimal(2 * start.size() + 6));

    // Appended to: read up to the first length only; the new end is not searched.
    const std::u16string grown = write("grown.txt", start);
    meddled.bytesRead = 0;
    meddled.meddle = [&] { std::ofstream(dir / "grown.txt", std::ios::app) << "needle"; };
    EXPECT_EQ(scan(grown, u"needle").caption, kNotFound);
    EXPECT_EQ(meddled.bytesRead, static_cast<std::int64_t>(start.size()));
    EXPECT_EQ(form.Text2().text(), decimal(start.size()));
}

TEST_F(FaultTest, SparseFileOfFiveGibibytes)
{
    // Zeros up to its last three bytes, "END": 5368709120 bytes in all.
    const std::int64_t size = std::int64_t{5} << 30;
    {
        std::ofstream out(dir / "sparse", std::ios::binary);
        out.seekp(size - 3);
        out << "END";
    }
    const testing::MessageRecord found = scan(path("sparse"), u"end");
    EXPECT_EQ(found.caption, kFound);
    EXPECT_TRUE(contains(found.text, u"5368709120 Octets ont été scannés."));

    whileTold = [this] { fake.clock.advance(3); };  // as if the user read it for 3 s
    EXPECT_EQ(scan(path("sparse"), u"absent").caption, kNotFound);
    EXPECT_EQ(form.Text2().text(), u"5368709120");
    EXPECT_FALSE(form.Text1().text().empty());
    EXPECT_FALSE(form.Text3().text().empty());
}

TEST_F(FaultTest, TextsLongerThanABlockAreNeverFound)
{
    std::u16string text;
    for (int i = 0; i < 100000; ++i) text += static_cast<char16_t>(u'a' + i % 26);
    const std::string bytes(text.begin(), text.end());
    const std::u16string file = write("long.txt", bytes + bytes);
    const testing::MessageRecord shown = scan(file, text);
    EXPECT_EQ(shown.caption, kNotFound);
    const std::u16string shortened = text.substr(0, 240) + u" \u2026 " + text.substr(text.size() - 240);
    EXPECT_TRUE(contains(shown.text, u"< " + shortened + u" >")) << "the text is not shortened in the middle";
    EXPECT_EQ(form.Text2().text(), u"200000");

    // One block's worth is found, even across the seam between two blocks.
    EXPECT_EQ(scan(file, text.substr(100, 32000)).caption, kFound);
    EXPECT_EQ(scan(file, text.substr(100, 32001)).caption, kNotFound);
}

TEST_F(FaultTest, TheLimitCountsCharactersAsTyped)
{
    // 16001 emoji: 32002 code units, 64004 bytes of UTF-8 across three blocks.
    std::u16string emoji;
    std::string utf8;
    for (int i = 0; i < 16001; ++i) {
        emoji += u"\U0001F600";
        utf8 += "\xF0\x9F\x98\x80";
    }
    EXPECT_EQ(scan(write("emoji.txt", "x" + utf8 + "x"), emoji).caption, kFound);

    std::string accents;
    for (int i = 0; i < 32001; ++i) accents += "\xC3\xA9";
    const std::u16string file = write("accents.txt", accents);
    EXPECT_EQ(scan(file, std::u16string(32000, u'\u00E9')).caption, kFound);
    EXPECT_EQ(scan(file, std::u16string(32001, u'\u00C9')).caption, kNotFound);
}

TEST_F(FaultTest, AnEmptyNameSaysNoFileWasNamed)
{
    const testing::MessageRecord shown = scan(u"", u"abc");
    EXPECT_EQ(shown.caption, kError);
    EXPECT_EQ(shown.text,
              u"Le fichier ne peut pas être lu : \r\r\n\r\nAucun fichier n'a été indiqué.\r\n"
              u"La recherche n'a pas pu aboutir.");
}

TEST_F(FaultTest, TextsThatCannotBeWrittenInTheCodePageNeverMatchAQuestionMark)
{
    const std::u16string file = write("marks.txt", "Kelvin ? a?b K k \x80 100?C");
    for (const std::u16string text : {u"Δ", u"a\u0394b", u"100\u2103"}) {
        EXPECT_EQ(scan(file, text).caption, kNotFound);
    }
    // Read as UTF-8, the file's k is the Kelvin sign's lower case: found, but never as a question mark.
    EXPECT_EQ(scan(file, u"\u212Aelvin").caption, kFound);
    EXPECT_EQ(scan(write("marks-no-k.txt", "?elvin ?"), u"\u212A").caption, kNotFound);
    EXPECT_EQ(scan(file, std::u16string(1, char16_t{0xD800})).caption, kNotFound);  // half a surrogate pair
    EXPECT_EQ(scan(file, u"€").caption, kFound);  // the euro sign has a byte of its own
    EXPECT_EQ(scan(file, u"KELVIN").caption, kFound);
}

TEST_F(FaultTest, TrailingSpacesNeverMatchThePaddingOfTheLastBlock)
{
    EXPECT_EQ(scan(write("short.txt", "abc"), u"abc ").caption, kNotFound);
    const std::u16string whole = write("whole.txt", std::string(31997, 'x') + "abc");  // exactly one block
    EXPECT_EQ(scan(whole, u"abc ").caption, kNotFound);
    EXPECT_EQ(scan(whole, u"abc").caption, kFound);
    const std::u16string oneMore = write("more.txt", std::string(31997, 'x') + "abc" + "d");
    EXPECT_EQ(scan(oneMore, u"d  ").caption, kNotFound);
    EXPECT_EQ(scan(write("spaces.txt", "abc   x"), u"abc  ").caption, kFound);  // spaces the file holds
}

TEST_F(FaultTest, NulBytesInTheFileAndInTheText)
{
    const std::u16string file = write("zeros.bin", std::string("a\0B", 3) + std::string(32000, '\0') + "end");
    EXPECT_EQ(scan(file, std::u16string(u"A\0b", 3)).caption, kFound);
    EXPECT_EQ(scan(file, std::u16string(u"a\0c", 3)).caption, kNotFound);
    EXPECT_EQ(scan(file, std::u16string(u"\0\0\0\0end", 7)).caption, kFound);  // across the seam
    EXPECT_EQ(scan(write("plain.txt", "no nul here"), std::u16string(1, u'\0')).caption, kNotFound);
    EXPECT_EQ(scan(file, std::u16string(1, u'\0') + u"end ").caption, kNotFound);
}

}  // namespace
}  // namespace quorvin::faults
