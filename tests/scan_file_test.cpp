// ScanFile through the doubles: messages, fields, statistics and faults.
#include <gtest/gtest.h>

#include "main_window/frm_scan.h"
#include "search_module/messages.h"
#include "search_module/number_text.h"
#include "search_module/scan_options.h"
#include "tests/archive_maker.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

using platform::FileFault;
using testing::MemoryFiles;

constexpr std::size_t kBlock = ScanOptioons::BlockSize;

std::u16string decimal(std::size_t n)
{
    const std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

class ScanFileTest : public ::testing::Test {
protected:
    testing::FakePlatform fake;
    FrmScan form;

    const testing::MessageRecord& onlyMessage()
    {
        EXPECT_EQ(fake.messageBox.shown.size(), 1u);
        return fake.messageBox.shown.at(0);
    }
    void scan(const std::u16string& path, const std::u16string& text) { ScanOptioons::ScanFile(path, text); }
};

TEST_F(ScanFileTest, FoundTellsTheWholeLengthAndLeavesTheStatisticsAlone)
{
    std::string bytes(2 * kBlock + 6000, 'x');
    bytes.replace(bytes.size() - 10, 3, "ABC");  // in the third and last block
    fake.files.add(u"/d/f.txt", bytes);
    form.Text1().setText(u"earlier time");
    form.Text3().setText(u"earlier rate");

    scan(u"/d/f.txt", u"abc");

    const auto& m = onlyMessage();
    EXPECT_EQ(m.caption, u"Chaîne de caractère trouvée !");
    EXPECT_EQ(m.text, decimal(bytes.size()) +
                          u" Octets ont été scannés.\r\nResultats de la recherche :\r\n"
                          u"La chaîne recherchée : < abc > a été trouvée dans le fichier : \r/d/f.txt");
    EXPECT_EQ(m.type, 0);
    EXPECT_EQ(m.owner, form.hWnd());
    EXPECT_EQ(form.Text4().text(), u"/d/f.txt");
    EXPECT_EQ(form.Text2().text(), decimal(bytes.size()));
    EXPECT_EQ(form.Text1().text(), u"earlier time");
    EXPECT_EQ(form.Text3().text(), u"earlier rate");
    EXPECT_EQ(fake.files.openFiles, 0);
    EXPECT_EQ(fake.files.largestRead, kBlock);  // reading again up to the text too
    const std::size_t at = bytes.size() - 10;
    EXPECT_EQ(form.Text5().text(),
              u"ligne 1, colonne " + groupedInteger(at + 1) + u" (octet " + groupedInteger(at) + u", Windows-1252)");
    EXPECT_EQ(form.Text6().text(), u"…" + std::u16string(42, u'x') + u"ABC" + std::u16string(7, u'x'));
}

// The place of the first occurrence, in the form the file holds it in, shows after a found search, inside
// what a gzip file holds too; the next search empties it first, and one that finds nothing leaves it empty.
TEST_F(ScanFileTest, ThePlaceShowsAfterAFoundSearchOnlyUntilTheNext)
{
    std::string utf16 = "\xFF\xFE";
    for (const char16_t c : std::u16string(u"un\r\n\tdeux trois")) {
        utf16 += {static_cast<char>(c), '\0'};
    }
    fake.files.add(u"/u16.txt", utf16);
    fake.files.add(u"/none.txt", std::string(2000, 'x'));
    scan(u"/u16.txt", u"DEUX");
    EXPECT_EQ(form.Text5().text(), u"ligne 2, colonne 2 (octet 12, UTF-16LE)");
    EXPECT_EQ(form.Text6().text(), u" deux trois");
    EXPECT_EQ(form.Text6().toolTip(), u" deux trois");

    scan(u"/none.txt", u"deux");
    EXPECT_EQ(form.Text5().text(), u"");
    EXPECT_EQ(form.Text6().text(), u"");
    EXPECT_EQ(form.Text6().toolTip(), u"");

    scan(u"/u16.txt", u"deux");
    fake.files.add(u"/notes.gz", testing::gzipped("quatre deux un"));
    scan(u"/notes.gz", u"deux");
    EXPECT_EQ(fake.messageBox.shown.back().caption, u"Chaîne de caractère trouvée !");
    EXPECT_EQ(form.Text5().text(), u"ligne 1, colonne 8 (octet 7, Windows-1252)");
    EXPECT_EQ(form.Text6().text(), u"quatre deux un");

    // A tar archive's own bytes hold its members': the text is placed in its member.
    fake.files.add(u"/logs.tar", testing::tarArchive({{"a.txt", "rien"}, {"var/log/app.log", "un\ndeux trois"}}));
    scan(u"/logs.tar", u"trois");
    EXPECT_EQ(form.Text5().text(), u"var/log/app.log, ligne 2, colonne 6 (octet 8, Windows-1252)");
    EXPECT_EQ(form.Text6().text(), u"deux trois");
}

TEST_F(ScanFileTest, FoundStopsAtTheFirstBlockHoldingTheText)
{
    fake.files.add(u"f", "abc" + std::string(100000, 'x'));
    scan(u"f", u"ABC");
    // One block, then the few reads that tell the place, around the text alone.
    EXPECT_LE(fake.files.reads, 5);
    EXPECT_EQ(form.Text5().text(), u"ligne 1, colonne 1 (octet 0, Windows-1252)");
}

TEST_F(ScanFileTest, NotFoundTimesTheSearchFromTheShownFieldsAfterTheMessageIsDismissed)
{
    fake.files.add(u"/d/f.txt", std::string(1000, 'x'));
    fake.messageBox.whileOpen = [&] { fake.clock.advance(10); };

    scan(u"/d/f.txt", u"e");

    const auto& m = onlyMessage();
    EXPECT_EQ(m.caption, u"Chaîne non trouvée");
    EXPECT_EQ(m.text, u"La chaîne recherchée : < e > n'a pas été trouvée dans le fichier : \r/d/f.txt");
    EXPECT_EQ(form.Text1().text(), u"0,000115740740740741");  // ten seconds, in days
    // 1000 bytes / the shown time, then that shown rate / 100000, each step read back from its field.
    const double perDay = *textToNumber(numberToText(1000 / 0.000115740740740741, u','), u',');
    EXPECT_EQ(form.Text3().text(), numberToText(perDay / 100000, u','));
    EXPECT_EQ(form.Text3().text(), u"86,3999999999998");
}

TEST_F(ScanFileTest, FieldsAreWrittenInTheirOrderAroundTheMessage)
{
    fake.files.add(u"/f", std::string(10, 'x'));
    fake.messageBox.whileOpen = [&] {
        fake.clock.advance(2);
        fake.windows.textLog.push_back("message");
    };
    fake.windows.textLog.clear();
    scan(u"/f", u"y");
    // The rate is the size over the shown time (2 s), then that shown rate over 100000, each read back
    // from its field, so the shown digits carry into the next step.
    EXPECT_EQ(fake.windows.textLog,
              (std::vector<std::string>{"Text4=/f", "Text2=10", "message", "Text1=2,31481481481481E-05",
                                        "Text3=432000,000000001", "Text3=4,32000000000001"}));
}

TEST_F(ScanFileTest, EmptyFileIsNotFoundAndAZeroTimeLeavesNoRate)
{
    fake.files.add(u"empty", "");
    form.Text3().setText(u"old");
    scan(u"empty", u"a");
    EXPECT_EQ(onlyMessage().caption, u"Chaîne non trouvée");
    EXPECT_EQ(fake.files.reads, 1);  // a size of 0 is not trusted: one read finds the end
    EXPECT_EQ(form.Text2().text(), u"0");
    EXPECT_EQ(form.Text1().text(), u"0");
    EXPECT_EQ(form.Text3().text(), u"");
}

TEST_F(ScanFileTest, SearchAcrossMidnightCountsFromTheStart)
{
    fake.clock.seconds = 86399;
    fake.messageBox.whileOpen = [&] { fake.clock.seconds = 1; };
    fake.files.add(u"f", "x");
    scan(u"f", u"a");
    EXPECT_EQ(form.Text1().text(), numberToText(2 / 86400.0, u','));
}

// No read is made past a file's told end, and one byte more takes one read more.
TEST_F(ScanFileTest, AFileOneByteLongerThanItsReadsTakesOneReadMore)
{
    fake.files.add(u"one", std::string(kBlock, 'x'));
    fake.files.add(u"two", std::string(kBlock + 1, 'x'));
    scan(u"one", u"a");
    const int readsOfOne = fake.files.reads;
    scan(u"two", u"a");
    EXPECT_EQ(fake.files.reads - readsOfOne, readsOfOne + 1);
}

// A text found near the start costs one small read, whatever the file's size; a large file is read in
// blocks once it has been read a while, in far fewer reads than the first one's size would take.
TEST_F(ScanFileTest, TheReadsStartSmallAndGrowToABlock)
{
    std::string bytes(130 * kBlock, 'x');
    bytes.replace(100, 6, "needle");
    fake.files.add(u"big", bytes);
    const auto scanned = [&](std::u16string_view text) {
        BlockScanner scanner(text, CodePage::windows1252());
        std::int64_t bytesRead = 0;
        ScanOptioons::ScanBlocks(*fake.files.openRead(u"big"), static_cast<std::int64_t>(bytes.size()), scanner, {},
                                 &bytesRead);
        return bytesRead;
    };
    EXPECT_EQ(scanned(u"needle"), static_cast<std::int64_t>(ScanOptioons::FirstReadSize));
    EXPECT_EQ(fake.files.reads, 1);

    EXPECT_EQ(scanned(u"absent"), static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(fake.files.largestRead, kBlock);
    EXPECT_LT(fake.files.reads, static_cast<int>(bytes.size() / ScanOptioons::FirstReadSize / 4));
}

TEST_F(ScanFileTest, TextsThatCannotOccurAreNotFound)
{
    fake.files.add(u"f", std::string(33000, '?') + "abc");
    for (const std::u16string& text :
         {std::u16string(u"Δ"), std::u16string(u"abc  "), std::u16string(32001, u'?'), std::u16string(u"\u212Abc")}) {
        fake.messageBox.shown.clear();
        scan(u"f", text);
        EXPECT_EQ(onlyMessage().caption, u"Chaîne non trouvée");
    }
    fake.messageBox.shown.clear();
    scan(u"f", std::u16string(32000, u'?'));
    EXPECT_EQ(onlyMessage().caption, u"Chaîne de caractère trouvée !");
}

TEST(TypedLength, CountsCharactersAsTyped)
{
    EXPECT_EQ(ScanOptioons::typedLength(u""), 0u);
    EXPECT_EQ(ScanOptioons::typedLength(u"caf\u00E9"), 4u);
    EXPECT_EQ(ScanOptioons::typedLength(u"a\U0001F600b"), 3u);  // a pair is one character
    // Halves that make no pair count one each: alone, reversed, or a high one at the end.
    EXPECT_EQ(ScanOptioons::typedLength(std::u16string{char16_t{0xD83D}, u'a', char16_t{0xDE00}}), 3u);
    EXPECT_EQ(ScanOptioons::typedLength(std::u16string{char16_t{0xDE00}, char16_t{0xD83D}}), 2u);
    EXPECT_EQ(ScanOptioons::typedLength(std::u16string{u'a', char16_t{0xD83D}, char16_t{0xD83D}, char16_t{0xDE00}}),
              3u);
}

TEST_F(ScanFileTest, TheLimitCountsCharactersNotCodeUnits)
{
    // 32000 emoji are 64000 code units, and 128000 bytes in UTF-8 or UTF-16: four blocks to carry.
    std::u16string emoji;
    std::string utf8, utf16le;
    for (int i = 0; i < 32001; ++i) {
        emoji += u"\U0001F600";
        utf8 += "\xF0\x9F\x98\x80";
        utf16le += std::string("\x3D\xD8\x00\xDE", 4);
    }
    const std::u16string limit = emoji.substr(2);
    fake.files.add(u"utf-8", "x" + utf8 + "y");
    fake.files.add(u"one-short", "x" + utf8.substr(8) + "y");
    fake.files.add(u"utf-16le", "\xFF\xFE" + utf16le);
    const auto caption = [&](const std::u16string& file, const std::u16string& text) {
        fake.messageBox.shown.clear();
        scan(file, text);
        return onlyMessage().caption;
    };
    EXPECT_EQ(caption(u"utf-8", limit), messages::kFoundCaption);
    EXPECT_EQ(caption(u"utf-16le", limit), messages::kFoundCaption);
    EXPECT_EQ(caption(u"one-short", limit), messages::kNotFoundCaption);
    EXPECT_EQ(caption(u"utf-8", emoji), messages::kNotFoundCaption) << "one character more than the limit";
}

TEST_F(ScanFileTest, FileThatCannotBeOpenedIsReportedAndNothingElse)
{
    MemoryFiles::Script denied;
    denied.openFault = FileFault::AccessDenied;
    fake.files.add(u"/locked", "abc", denied);
    form.Text1().setText(u"t");

    scan(u"/locked", u"abc");
    scan(u"/gone", u"abc");

    ASSERT_EQ(fake.messageBox.shown.size(), 2u);
    for (const auto& m : fake.messageBox.shown) {
        EXPECT_EQ(m.caption, u"Lecture du fichier impossible");
        EXPECT_EQ(m.type, platform::kMessageError);
    }
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"\r/locked\r\n"), std::u16string::npos);
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"refusé"), std::u16string::npos);
    EXPECT_NE(fake.messageBox.shown[1].text.find(u"n'existe plus"), std::u16string::npos);
    EXPECT_EQ(form.Text4().text(), u"/gone");
    EXPECT_EQ(form.Text1().text(), u"t");
}

TEST_F(ScanFileTest, ReadErrorMidwayIsReportedAndTheFileClosed)
{
    MemoryFiles::Script failing;
    failing.failAtRead = 1;
    fake.files.add(u"f", std::string(3 * kBlock, 'x') + "abc", failing);
    scan(u"f", u"abc");
    EXPECT_EQ(onlyMessage().caption, u"Lecture du fichier impossible");
    EXPECT_EQ(fake.files.openFiles, 0);
}

TEST_F(ScanFileTest, FileThatShrinksEndsAtItsRealEndAndOneThatGrowsAtItsFirstLength)
{
    MemoryFiles::Script shrinks;
    shrinks.resizeAtRead = 1;
    shrinks.resizeTo = ScanOptioons::FirstReadSize + 8000;
    fake.files.add(u"shrinks", std::string(3 * kBlock, 'x') + "abc", shrinks);
    scan(u"shrinks", u"abc");
    EXPECT_EQ(onlyMessage().caption, u"Chaîne non trouvée");
    EXPECT_EQ(fake.files.reads, 2);

    MemoryFiles::Script grows;
    grows.resizeAtRead = 0;
    grows.resizeTo = 2 * kBlock;  // filled with 'g'
    fake.files.add(u"grows", std::string(10, 'x'), grows);
    fake.messageBox.shown.clear();
    scan(u"grows", u"g");
    EXPECT_EQ(onlyMessage().caption, u"Chaîne non trouvée");
    EXPECT_EQ(form.Text2().text(), u"10");
}

TEST_F(ScanFileTest, APastedTextTooLongForTheScreenIsShortenedInTheMiddleAndThePathKeptWhole)
{
    const std::u16string path = u"/d/" + std::u16string(300, u'p') + u".txt";
    fake.files.add(path, "xx" + std::string(1000, 'a') + "xx");
    const std::u16string fits(messages::kLongestWholeText, u'a');
    scan(path, fits);  // found, and shown whole
    EXPECT_NE(fake.messageBox.shown.back().text.find(u"< " + fits + u" >"), std::u16string::npos);

    for (const std::size_t length : {10'000u, 100'000u}) {
        for (const bool spaces : {false, true}) {
            std::u16string text;
            for (std::size_t i = 0; i < length; ++i) {
                text.push_back(spaces && i % 7 == 6 ? u' ' : static_cast<char16_t>(u'b' + i % 20));
            }
            text.replace(0, 5, u"DEBUT");
            text.replace(length - 3, 3, u"FIN");
            scan(path, text);  // not found: the file holds only a, x and text too long for a block
            const std::u16string& shown = fake.messageBox.shown.back().text;
            const std::u16string expected = u"La chaîne recherchée : < " + text.substr(0, 240) + u" \u2026 " +
                                            text.substr(length - 240) + u" > n'a pas été trouvée dans le fichier : \r" +
                                            path;
            EXPECT_EQ(shown, expected) << length << (spaces ? " with spaces" : " in one word");
        }
    }
    EXPECT_EQ(form.Text4().text(), path);
}

TEST(ShortenedForMessage, NeverCutsACharacterOrAnAccentFromItsLetter)
{
    // U+1F600 is a surrogate pair; e + U+0301 is é written as two characters.
    std::u16string text = std::u16string(239, u'a') + u"\U0001F600" + std::u16string(2000, u'b');
    EXPECT_EQ(messages::shortenedForMessage(text).substr(0, 241), std::u16string(239, u'a') + u" \u2026");
    const std::u16string shortenedEnd = std::u16string(240, u'a') + u" \u2026 " + std::u16string(239, u'c');
    EXPECT_EQ(messages::shortenedForMessage(std::u16string(2000, u'a') + u"e\u0301" + std::u16string(239, u'c')),
              shortenedEnd);
    text = std::u16string(2000, u'a') + u"\U0001F600" + std::u16string(239, u'c');
    EXPECT_EQ(messages::shortenedForMessage(text), shortenedEnd);
    EXPECT_EQ(messages::cancelled(text, u"f"), u"La recherche de la chaîne : < " + messages::shortenedForMessage(text) +
                                                   u" > a été annulée avant la fin du fichier : \rf");
}

TEST_F(ScanFileTest, FileWhoseSizeReadsZeroIsReadToItsRealEnd)
{
    // As /proc tells of its files: size 0, bytes there all the same, several blocks of them.
    MemoryFiles::Script untold;
    untold.reportedLength = 0;
    fake.files.add(u"/proc/cpuinfo", std::string(70000, 'x') + "processor", untold);
    fake.messageBox.whileOpen = [&] { fake.clock.advance(1); };

    scan(u"/proc/cpuinfo", u"PROCESSOR");
    EXPECT_EQ(onlyMessage().caption, u"Chaîne de caractère trouvée !");
    EXPECT_TRUE(onlyMessage().text.starts_with(u"70009 Octets ont été scannés."));
    EXPECT_EQ(form.Text2().text(), u"70009");

    fake.messageBox.shown.clear();
    scan(u"/proc/cpuinfo", u"absent");
    EXPECT_EQ(onlyMessage().caption, u"Chaîne non trouvée");
    EXPECT_EQ(form.Text2().text(), u"70009");
    // 70009 bytes in one second: the rate is worked out from the bytes read.
    EXPECT_TRUE(form.Text3().text().starts_with(u"60487,7"));
    EXPECT_EQ(fake.files.openFiles, 0);
}

TEST_F(ScanFileTest, FileShorterThanItsSizeTellsTheBytesReallyThere)
{
    // As /sys tells of its files: a page, for a few bytes.
    MemoryFiles::Script page;
    page.reportedLength = 4096;
    fake.files.add(u"/sys/online", "0-3\n", page);
    scan(u"/sys/online", u"0-3");
    EXPECT_TRUE(onlyMessage().text.starts_with(u"4 Octets ont été scannés."));
    EXPECT_EQ(form.Text2().text(), u"4096") << "the field keeps the size the system tells";
}

}  // namespace
TEST_F(ScanFileTest, WhatTheFileHoldsInsideIsSearchedAndAnIncompleteNoSaysSo)
{
    const std::string log = std::string(70000, '.') + "ERREUR disque plein" + std::string(70000, '.');
    const std::string gz = testing::gzipped(log);
    fake.files.add(u"/logs/app.log.1.gz", gz);
    scan(u"/logs/app.log.1.gz", u"disque PLEIN");
    EXPECT_EQ(onlyMessage().caption, messages::kFoundCaption);
    EXPECT_EQ(onlyMessage().text.substr(0, onlyMessage().text.find(u' ')),
              integerToText(static_cast<std::int64_t>(gz.size())))
        << "the file's own bytes are counted, not what they inflate to";
    EXPECT_EQ(form.Text2().text(), integerToText(static_cast<std::int64_t>(gz.size())));

    std::vector<testing::ZipEntry> members{{"notes.txt", "rien"}, {"secret.txt", log, true, false, false, 1}};
    fake.files.add(u"/docs/notes.zip", testing::zipArchive(members));
    fake.messageBox.shown.clear();
    scan(u"/docs/notes.zip", u"disque plein");
    ASSERT_EQ(fake.messageBox.shown.size(), 2u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, messages::kNotFoundCaption);
    EXPECT_EQ(fake.messageBox.shown[1].caption, messages::kPartlyUnreadCaption);
    EXPECT_EQ(fake.messageBox.shown[1].text,
              u"1 élément n'a pas pu être lu à l'intérieur du fichier :\r\n"
              u"\u2013 secret.txt : chiffré\r\n"
              u"La chaîne n'y a pas été cherchée.");

    // Many parts with long names: five named, each cut to its end, the rest counted, all within the limit.
    members.clear();
    for (int i = 0; i < 9; ++i) {
        members.push_back(
            {std::string(300, 'd') + "/rapport-" + std::to_string(i) + ".txt", "x", true, false, false, 1});
    }
    fake.files.add(u"/docs/many.zip", testing::zipArchive(members));
    fake.messageBox.shown.clear();
    scan(u"/docs/many.zip", u"disque plein");
    ASSERT_EQ(fake.messageBox.shown.size(), 2u);
    const std::u16string& text = fake.messageBox.shown[1].text;
    EXPECT_EQ(text.substr(0, 2), u"9 ");
    EXPECT_NE(text.find(u"rapport-4.txt : chiffré"), std::u16string::npos);
    EXPECT_EQ(text.find(u"rapport-5.txt"), std::u16string::npos);
    EXPECT_NE(text.find(u"et 4 autres."), std::u16string::npos);
    EXPECT_LE(text.size(), messages::kLongestWholeText);
}

}  // namespace quorvin
