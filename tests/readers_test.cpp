// What files hold inside, searched through archives made here with zlib: every container found, each
// part a file of its own, and every part that cannot be read counted, named, and never taken for a « no ».
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive_maker.h"
#include "readers/content_search.h"
#include "readers/read_ahead.h"

using namespace quorvin;
using namespace quorvin::readers;
using namespace quorvin::testing;

namespace {

struct Answer {
    ContentSearch::Result result;
    std::uint64_t unreadCount;
    std::vector<UnreadPart> unread;
};

Answer searchInside(const std::string& file, const std::u16string& text, std::function<bool()> keepGoing = {})
{
    MemoryAccess access(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    ContentSearch search(text, CodePage::windows1252(), std::move(keepGoing));
    const ContentSearch::Result result = search.searchInside(access, u"fichier");
    return {result, search.unreadCount(), search.unread()};
}

bool found(const std::string& file, const std::u16string& text)
{
    return searchInside(file, text).result == ContentSearch::Result::Found;
}

std::string utf16le(const std::u16string& text)
{
    std::string bytes;
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xff);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

const std::string kLog = std::string(100000, '.') + "\nERREUR disque plein\n" + std::string(50000, '.');

// Letters that barely compress, so that a cut in the compressed data falls where it is aimed.
std::string noise(std::size_t size)
{
    std::string text;
    for (std::uint32_t seed = 7; text.size() < size; seed = seed * 1103515245 + 12345) {
        text += static_cast<char>('a' + (seed >> 16) % 26);
    }
    return text;
}

}  // namespace

TEST(ContentSearch, FindsTheTextInEveryKindOfContainer)
{
    EXPECT_TRUE(found(gzipped(kLog), u"erreur disque"));
    EXPECT_TRUE(found(gzipped("rien ici\n") + gzipped(kLog), u"disque plein")) << "the second of two gzip members";
    EXPECT_TRUE(found(tarArchive({{"a.txt", "rien"}, {"var/log/app.log", kLog}}), u"disque plein"));
    EXPECT_TRUE(found(gzipped(tarArchive({{"a.txt", "rien"}, {"b.log", kLog}})), u"disque plein")) << ".tar.gz";
    EXPECT_TRUE(found(tarArchive({{std::string(150, 'n') + "/x.log", kLog, TarEntry::LongName::Gnu}}), u"plein"));
    EXPECT_TRUE(found(tarArchive({{std::string(300, 'p') + ".log", kLog, TarEntry::LongName::Pax}}), u"plein"));
    EXPECT_TRUE(found(zipArchive({{"a.txt", "rien"}, {"notes.txt", kLog, false}}), u"disque plein")) << "stored";
    EXPECT_TRUE(found(zipArchive({{"notes.txt", kLog}}), u"disque plein")) << "deflated";
    EXPECT_TRUE(found(zipArchive({{"notes.txt", kLog, true, true}}), u"disque plein")) << "data descriptor";
    EXPECT_TRUE(found(zipArchive({{"notes.txt", kLog, true, false, true}}), u"disque plein")) << "ZIP64";
    EXPECT_TRUE(found(zipArchive({{"inner.zip", zipArchive({{"n.txt", kLog}})}}), u"disque plein")) << "ZIP in ZIP";
    EXPECT_TRUE(found(gzipped(tarArchive({{"x.zip", zipArchive({{"n.txt", kLog}})}})), u"disque plein"));
    EXPECT_TRUE(found(zipArchive({{"app.log.gz", gzipped(kLog), false}}), u"disque plein")) << "gzip in ZIP";
    // Inside as outside, every form and its cases.
    EXPECT_TRUE(found(gzipped("un CAFÉ noir"), u"café"));
    EXPECT_TRUE(found(zipArchive({{"w.txt", utf16le(u"\uFEFFПРИВЕТ мир")}}), u"привет"));
    EXPECT_TRUE(found(zipArchive({{"cp.txt", "\xC9t\xE9"}}), u"ÉTÉ")) << "the code page's bytes";
    // A self-extracting archive: a program with a ZIP at its end.
    EXPECT_TRUE(found(zipArchive({{"notes.txt", kLog}}, "MZ" + std::string(5000, '\0')), u"disque plein"));
}

TEST(ContentSearch, EachPartIsAFileOfItsOwn)
{
    const Answer tar = searchInside(tarArchive({{"a", "rendez-"}, {"b", "vous"}}), u"rendez-vous");
    EXPECT_EQ(tar.result, ContentSearch::Result::NotFound);
    EXPECT_EQ(tar.unreadCount, 0u);
    EXPECT_FALSE(found(zipArchive({{"a", "rendez-"}, {"b", "vous"}}), u"rendez-vous"));
    EXPECT_FALSE(found(zipArchive({{"a", "rendez-", false}, {"b", "vous", false}}), u"rendez-vous"));
    // A part is read once: its end never meets its own start.
    EXPECT_FALSE(found(zipArchive({{"a", "vous, rendez-"}}), u"rendez-vous"));
    EXPECT_FALSE(found(tarArchive({{"a", "vous, rendez-"}}), u"rendez-vous"));
    EXPECT_FALSE(found(gzipped(kLog), u"absent"));
    EXPECT_FALSE(found(kLog, u"disque plein")) << "a plain file's bytes are searched outside, not again inside";
}

TEST(ContentSearch, PartsThatCannotBeReadAreCountedAndNamed)
{
    const Answer answer =
        searchInside(zipArchive({{"secret.txt", kLog, true, false, false, 1},
                                 {"b.bz2", "BZh9", true, false, false, 0, 12},
                                 {"crc.txt", kLog, true, false, false, 0, {}, 1234},
                                 {"size.txt", kLog, false, false, false, 0, {}, {}, 99},
                                 {"garbage", "\xff\xff\xff\xff nothing deflated", false, false, false, 0, 8},
                                 {"ok.txt", "rien"}}),
                     u"introuvable");
    EXPECT_EQ(answer.result, ContentSearch::Result::NotFound);
    ASSERT_EQ(answer.unreadCount, 5u);
    EXPECT_EQ(answer.unread[0].path, u"secret.txt");
    EXPECT_EQ(answer.unread[0].fault, Fault::Encrypted);
    EXPECT_EQ(answer.unread[1].fault, Fault::Method);
    EXPECT_EQ(answer.unread[2].fault, Fault::Corrupt) << "its CRC";
    EXPECT_EQ(answer.unread[3].fault, Fault::Corrupt) << "its size";
    EXPECT_EQ(answer.unread[4].fault, Fault::Corrupt) << "no deflate data";

    // What can be read is still searched; past five, parts are counted without their names.
    std::vector<ZipEntry> many;
    for (int i = 0; i < 7; ++i) {
        many.push_back({"locked" + std::to_string(i), "x", true, false, false, 1});
    }
    many.push_back({"last.log", kLog});
    EXPECT_TRUE(found(zipArchive(many), u"disque plein"));
    many.pop_back();
    const Answer locked = searchInside(zipArchive(many), u"disque plein");
    EXPECT_EQ(locked.unreadCount, 7u);
    EXPECT_EQ(locked.unread.size(), ContentSearch::kNamedUnread);
}

TEST(ContentSearch, BrokenArchivesGiveWhatTheirWholePartsHold)
{
    const std::string logs = tarArchive({{"first.log", kLog}, {"second.log", noise(200000) + "0fin0"}});
    const std::string cut = gzipped(logs).substr(0, gzipped(logs).size() * 3 / 4);
    EXPECT_TRUE(found(cut, u"disque plein")) << "a whole member before the cut";
    const Answer truncated = searchInside(cut, u"0fin0");
    EXPECT_EQ(truncated.result, ContentSearch::Result::NotFound);
    ASSERT_EQ(truncated.unreadCount, 1u);
    EXPECT_EQ(truncated.unread[0].path, u"second.log");
    EXPECT_EQ(truncated.unread[0].fault, Fault::Truncated);

    std::string badHeader = tarArchive({{"a.log", "rien"}, {"b.log", kLog}});
    badHeader[512 + 512 + 100] ^= 1;  // the second header's mode, so that its checksum fails
    const Answer checksum = searchInside(badHeader, u"disque plein");
    EXPECT_EQ(checksum.result, ContentSearch::Result::NotFound);
    ASSERT_EQ(checksum.unreadCount, 1u);
    EXPECT_EQ(checksum.unread[0].fault, Fault::Corrupt);
    EXPECT_EQ(checksum.unread[0].path, u"fichier");

    std::string outside = zipArchive({{"a.txt", kLog}});
    outside[outside.size() - 6] = '\x7f';  // the directory's offset, far past the end
    const Answer lost = searchInside(outside, u"disque plein");
    ASSERT_EQ(lost.unreadCount, 1u);
    EXPECT_EQ(lost.unread[0].path, u"fichier");
    EXPECT_EQ(lost.unread[0].fault, Fault::Corrupt);

    // Members sharing their data, as the bombs that overlap make them, are refused.
    const Answer overlap =
        searchInside(zipArchive({{"a.txt", kLog}, {"b.txt", kLog, true, false, false, 0, {}, {}, {}, 0}}), u"absent");
    EXPECT_EQ(overlap.unreadCount, 2u);
    EXPECT_EQ(overlap.unread[0].fault, Fault::Corrupt);
}

TEST(ContentSearch, NestingStopsAtItsDepthAndSaysSo)
{
    std::string nested = zipArchive({{"deep.log", kLog}});
    for (int level = 1; level < ContentSearch::kDeepest; ++level) {
        nested = zipArchive({{"level" + std::to_string(level) + ".zip", nested}});
    }
    const Answer deepest = searchInside(nested, u"disque plein");
    EXPECT_EQ(deepest.result, ContentSearch::Result::Found) << "a plain member at the deepest level";
    const Answer tooDeep = searchInside(zipArchive({{"one-more.zip", nested}}), u"disque plein");
    EXPECT_EQ(tooDeep.result, ContentSearch::Result::NotFound);
    ASSERT_EQ(tooDeep.unreadCount, 1u);
    EXPECT_EQ(tooDeep.unread[0].fault, Fault::TooDeep);
    EXPECT_EQ(tooDeep.unread[0].path, u"one-more.zip/level3.zip/level2.zip/level1.zip");
}

TEST(ContentSearch, BombsStayBoundedAndCanAlwaysBeStopped)
{
    // 128 MiB of zeros in a few hundred KiB: the search answers the stop at once, not after them.
    const std::string zeros(128u << 20, '\0');
    for (const std::string& bomb : {zipArchive({{"zeros.bin", zeros}}), gzipped(zeros)}) {
        int asked = 0;
        EXPECT_EQ(searchInside(bomb, u"x", [&] { return ++asked < 50; }).result, ContentSearch::Result::Cancelled);
        EXPECT_EQ(asked, 50);
    }

    // A ZIP inside another container larger than the program holds in memory is named, not read.
    std::string large;
    for (std::uint32_t seed = 1; large.size() < ContentSearch::kHeldInMemory + 1000; seed = seed * 1103515245 + 12345) {
        large += static_cast<char>(seed >> 16);
    }
    const Answer held = searchInside(tarArchive({{"big.zip", zipArchive({{"noise", large, false}})}}), u"absent");
    ASSERT_EQ(held.unreadCount, 1u);
    EXPECT_EQ(held.unread[0].path, u"big.zip");
    EXPECT_EQ(held.unread[0].fault, Fault::TooLarge);
}

namespace {

// `size` bytes of a pattern in reads of at most 1000 bytes, then a failure if one is given.
class PatternSource final : public Source {
public:
    PatternSource(std::size_t size, std::optional<Fault> failure) : size_(size), failure_(failure) {}
    std::size_t read(std::span<std::uint8_t> into) override
    {
        const std::size_t count = std::min({into.size(), std::size_t{1000}, size_ - at_});
        for (std::size_t i = 0; i < count; ++i) into[i] = static_cast<std::uint8_t>((at_ + i) * 7 / 3);
        at_ += count;
        if (count == 0 && failure_) {
            throw UnreadablePart(*std::exchange(failure_, std::nullopt), "cut");
        }
        return count;
    }

private:
    std::size_t size_;
    std::size_t at_ = 0;
    std::optional<Fault> failure_;
};

std::string wordDocument(const std::string& body)
{
    return zipArchive({{"[Content_Types].xml", "<Types/>"},
                       {"word/document.xml", "<w:document><w:body>" + body + "</w:body></w:document>"}});
}

std::string paragraphs(std::size_t count)
{
    std::string body;
    for (std::size_t i = 0; i < count; ++i) body += "<w:p><w:r><w:t>une ligne de la lettre</w:t></w:r></w:p>";
    return body;
}

}  // namespace

TEST(ReadAheadSource, GivesTheBytesAndTheFailureWhereTheSourceDoes)
{
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{5}, std::size_t{128 * 1024}, std::size_t{128 * 1024 + 1}, std::size_t{3 << 20}}) {
        for (const std::optional<Fault> failure : {std::optional<Fault>{}, std::optional(Fault::Truncated)}) {
            PatternSource inner(size, failure);
            ReadAheadSource ahead(inner);
            std::vector<std::uint8_t> block(32000);
            std::size_t at = 0;
            bool mismatch = false;
            std::optional<Fault> thrown;
            try {
                while (const std::size_t got = ahead.read(std::span(block).first(at % 3 == 0 ? 32000 : 777))) {
                    for (std::size_t i = 0; i < got; ++i)
                        mismatch |= block[i] != static_cast<std::uint8_t>((at + i) * 7 / 3);
                    at += got;
                }
            } catch (const UnreadablePart& part) {
                thrown = part.fault();
            }
            EXPECT_EQ(at, size) << "every byte before the end or the failure";
            EXPECT_FALSE(mismatch) << size;
            EXPECT_EQ(thrown, failure) << size;
            EXPECT_EQ(ahead.read(block), 0u) << "nothing more after the end or the failure";
        }
    }
    // Left early: the thread, ahead of the reader, stops with it.
    PatternSource endless(SIZE_MAX, std::nullopt);
    ReadAheadSource ahead(endless);
    std::array<std::uint8_t, 10> few{};
    EXPECT_EQ(ahead.read(few), few.size());
}

TEST(ContentSearch, LargeDocumentPartsAreReadAheadAndStillStop)
{
    const std::string letter = wordDocument(paragraphs(40000) +
                                            "<w:p><w:r><w:t>rendez-</w:t></w:r><w:r><w:t>vous "
                                            "demain</w:t></w:r></w:p>");
    EXPECT_TRUE(found(letter, u"RENDEZ-VOUS DEMAIN")) << "at the end of a 2 MiB part";
    EXPECT_FALSE(found(letter, u"absent"));

    // Stopped from the thread that reads ahead as from the search's own.
    std::atomic<int> asked = 0;
    EXPECT_EQ(searchInside(letter, u"absent", [&] { return ++asked < 5; }).result, ContentSearch::Result::Cancelled);

    // A part whose data are damaged near their end is named, from whichever thread met the damage.
    std::string damaged = wordDocument(paragraphs(40000) + "<w:p><w:r><w:t>fin de la lettre</w:t></w:r></w:p>");
    const std::size_t directory = damaged.rfind("PK\x01\x02");
    ASSERT_NE(directory, std::string::npos);
    damaged[directory - 1000] = static_cast<char>(damaged[directory - 1000] ^ 0x55);
    const Answer broken = searchInside(damaged, u"absent");
    ASSERT_EQ(broken.unreadCount, 1u);
    EXPECT_EQ(broken.unread[0].path, u"word/document.xml");
}

TEST(ContentSearch, LargeGzipFilesAreReadAheadAndStillStop)
{
    const std::string log = gzipped(noise(3u << 20) + "\nERREUR disque plein\n");
    ASSERT_GE(log.size(), ReadAheadSource::kWorthIt);
    EXPECT_TRUE(found(log, u"erreur disque plein"));
    EXPECT_TRUE(found(gzipped(tarArchive({{"a.log", noise(3u << 20)}, {"b.log", kLog}})), u"disque plein"))
        << ".tar.gz";
    std::atomic<int> asked = 0;
    EXPECT_EQ(searchInside(log, u"absent", [&] { return ++asked < 5; }).result, ContentSearch::Result::Cancelled);
    const Answer truncated = searchInside(log.substr(0, log.size() / 2), u"absent");
    ASSERT_EQ(truncated.unreadCount, 1u);
    EXPECT_EQ(truncated.unread[0].fault, Fault::Truncated);
}

namespace {

std::optional<FoundPlace> placeInside(const std::string& file, const std::u16string& text,
                                      std::function<bool()> keepGoing = {})
{
    MemoryAccess access(std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
    ContentSearch search(text, CodePage::windows1252(), std::move(keepGoing), true);
    EXPECT_EQ(search.searchInside(access, u"fichier"), ContentSearch::Result::Found);
    return search.place();
}

std::string lines(int count)
{
    std::string text;
    for (int line = 1; line <= count; ++line) {
        text += "ligne " + std::to_string(line) + "\n";
    }
    return text;
}

}  // namespace

// Where the text is inside: the member's path, its line and column in the member's own bytes, read again
// from the member's start (across blocks, and through every container that holds it), and the line.
TEST(ContentPlace, TellsTheMemberTheLineAndTheColumn)
{
    const std::string log = lines(5000) + "\tERREUR disque plein\n";
    const std::u16string line = u" ERREUR disque plein";
    const auto expectAt = [&](const std::optional<FoundPlace>& place, std::u16string_view part) {
        ASSERT_TRUE(place) << std::string(part.begin(), part.end());
        EXPECT_EQ(place->part, part);
        EXPECT_FALSE(place->document);
        EXPECT_EQ(place->line, 5001u);
        EXPECT_EQ(place->column, 2u);
        EXPECT_EQ(place->offset, log.size() - 20);
        EXPECT_EQ(place->form, TextForm::CodePage);
        EXPECT_EQ(place->excerpt, line);
        EXPECT_EQ(place->wholeLine, line);
    };
    const ZipEntry other{"a.txt", "rien ici"};
    expectAt(placeInside(zipArchive({other, {"var/log/app.log", log}}), u"erreur"), u"var/log/app.log");
    expectAt(placeInside(zipArchive({other, {"var/log/app.log", log, false}}), u"erreur"), u"var/log/app.log");
    expectAt(placeInside(gzipped(tarArchive({{"a.txt", "rien"}, {"logs/app.log", log}})), u"erreur"), u"logs/app.log");
    expectAt(placeInside(gzipped(log), u"erreur"), u"");
    const std::string inner = zipArchive({{"app.log", gzipped(log)}});
    expectAt(placeInside(tarArchive({{"b.txt", "rien"}, {"old/inner.zip", inner}}), u"erreur"),
             u"old/inner.zip/app.log");

    // In UTF-16, in the member's own form; on a line longer than what is read around the text.
    const std::optional<FoundPlace> wide =
        placeInside(zipArchive({{"notes.txt", "\xFF\xFE" + utf16le(u"un\r\ndeux trois")}}), u"TROIS");
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->form, TextForm::Utf16Le);
    EXPECT_EQ(wide->line, 2u);
    EXPECT_EQ(wide->column, 6u);
    const std::optional<FoundPlace> longLine =
        placeInside(gzipped(tarArchive({{"long.txt", std::string(300000, 'x') + "cible"}})), u"cible");
    ASSERT_TRUE(longLine);
    EXPECT_EQ(longLine->column, 300001u);
    EXPECT_EQ(longLine->excerpt, u"…" + std::u16string(kExcerptCharacters - 5, u'x') + u"cible");
}

// Only a search that locates reads again; a part it cannot read again, or a search stopped meanwhile,
// leaves the place untold and the text found.
TEST(ContentPlace, IsToldOnlyWhereAskedAndReadAgainWhole)
{
    const std::string archive = zipArchive({{"app.log", kLog}});
    MemoryAccess access(std::span(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size()));
    ContentSearch search(u"disque", CodePage::windows1252(), {});
    EXPECT_EQ(search.searchInside(access, u"fichier"), ContentSearch::Result::Found);
    EXPECT_FALSE(search.place());

    // The reads after the text was found are the place's: stopped there, the search still found it.
    const std::string tar = gzipped(tarArchive({{"app.log", kLog}}));
    MemoryAccess whole(std::span(reinterpret_cast<const std::uint8_t*>(tar.data()), tar.size()));
    int asked = 0;
    ContentSearch counting(u"disque", CodePage::windows1252(), [&] { return ++asked, true; });
    EXPECT_EQ(counting.searchInside(whole, u"fichier"), ContentSearch::Result::Found);
    const int toFind = asked;
    asked = 0;
    EXPECT_FALSE(placeInside(tar, u"disque", [&] { return ++asked <= toFind; }));
}

// A document inside an archive: the archive's member, then where the document's reader sees the text.
TEST(ContentPlace, ADocumentInsideAnArchiveIsNamedThenPlaced)
{
    std::ifstream file(QUORVIN_DOCUMENTS "/letter.docx", std::ios::binary);
    const std::string letter((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::optional<FoundPlace> place =
        placeInside(zipArchive({{"courrier/lettre.docx", letter, false}}), u"lien visible");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->part, u"courrier/lettre.docx");
    ASSERT_TRUE(place->document);
    EXPECT_EQ(place->document->where, DocumentPlace::Where::Paragraph);
    EXPECT_EQ(place->document->number, 10u);
    EXPECT_EQ(place->excerpt, u"Suivez ce lien visible pour en savoir plus.");
}
