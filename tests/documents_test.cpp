// Real documents and e-books, written by LibreOffice and pandoc (tests/documents), searched as the program
// searches them: each case of answers.tsv says whether a reader sees the text, and so whether it is found.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "main_window/frm_scan.h"
#include "readers/content_search.h"
#include "search_module/messages.h"
#include "search_module/scan_options.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::u16string fromUtf8(const std::string& text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xe0 ? 2 : byte < 0xf0 ? 3 : 4;
        char32_t c = length == 1 ? byte : byte & (0x7f >> length);
        for (int k = 1; k < length; ++k) {
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3f);
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xd800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xdc00 + ((c - 0x10000) & 0x3ff));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

struct Case {
    std::string file;
    std::string text;
    bool visible;
};

std::vector<Case> cases()
{
    std::vector<Case> all;
    std::istringstream lines(contentOf(QUORVIN_DOCUMENTS "/answers.tsv"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        Case c;
        std::string answer;
        std::getline(fields, c.file, '\t');
        std::getline(fields, c.text, '\t');
        std::getline(fields, answer, '\t');
        c.visible = answer == "found";
        all.push_back(c);
    }
    return all;
}

}  // namespace

TEST(Documents, EachIsSearchedForWhatItsReaderSees)
{
    const std::vector<Case> all = cases();
    ASSERT_GE(all.size(), 100u);
    testing::FakePlatform fake;
    FrmScan form;
    for (const Case& c : all) {
        const std::string bytes = contentOf(QUORVIN_DOCUMENTS "/" + c.file);
        ASSERT_FALSE(bytes.empty()) << c.file;
        const std::u16string text = fromUtf8(c.text);
        fake.files.add(u"document", bytes);
        fake.messageBox.shown.clear();
        ScanOptioons::ScanFile(u"document", text);
        ASSERT_FALSE(fake.messageBox.shown.empty());
        const bool found = fake.messageBox.shown.front().caption == messages::kFoundCaption;
        // A flat document's own bytes are its XML, searched as they stand: its markup is found there. What is
        // seen inside it is told by the inside search alone.
        if (c.file.ends_with(".fodt") || c.file.ends_with(".fods") || c.file.ends_with(".fodp")) {
            if (c.visible) {
                EXPECT_TRUE(found) << c.file << ": " << c.text;
            } else {
                readers::MemoryAccess access(
                    std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
                readers::ContentSearch inside(text, CodePage::windows1252(), {});
                EXPECT_EQ(inside.searchInside(access, u"document"), readers::ContentSearch::Result::NotFound)
                    << c.file << ": " << c.text;
            }
            continue;
        }
        EXPECT_EQ(found, c.visible) << c.file << ": " << c.text;
        EXPECT_EQ(fake.messageBox.shown.size(), 1u) << c.file << ": every part of it was read";
    }
}

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xd800) << 10) + (text[++i] - 0xdc00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xc0 | c >> 6), static_cast<char>(0x80 | (c & 0x3f))};
        } else if (c < 0x10000) {
            out += {static_cast<char>(0xe0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3f)),
                    static_cast<char>(0x80 | (c & 0x3f))};
        } else {
            out += {static_cast<char>(0xf0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3f)),
                    static_cast<char>(0x80 | (c >> 6 & 0x3f)), static_cast<char>(0x80 | (c & 0x3f))};
        }
    }
    return out;
}

// places.tsv: for each text a reader sees, where the main window says it is and the text shown around it.
TEST(Documents, EachTellsWhereItsReaderSeesTheText)
{
    std::istringstream lines(contentOf(QUORVIN_DOCUMENTS "/places.tsv"));
    int count = 0;
    testing::FakePlatform fake;
    FrmScan form;
    for (std::string line; std::getline(lines, line); ++count) {
        std::istringstream fields(line);
        std::string file, text, place, excerpt;
        std::getline(fields, file, '\t');
        std::getline(fields, text, '\t');
        std::getline(fields, place, '\t');
        std::getline(fields, excerpt, '\t');
        fake.files.add(u"document", contentOf(QUORVIN_DOCUMENTS "/" + file));
        ScanOptioons::ScanFile(u"document", fromUtf8(text));
        EXPECT_EQ(toUtf8(form.Text5().text()) + "\t" + toUtf8(form.Text6().text()), place + "\t" + excerpt)
            << file << "\t" << text;
    }
    EXPECT_GE(count, 40);
}

}  // namespace quorvin
