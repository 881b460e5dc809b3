// Where the first occurrence is: checked against a plain reading of the whole file from its start, in
// each form, on random files full of line breaks, seams and characters of several sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "naive_search.h"
#include "scanner/block_scanner.h"
#include "scanner/first_occurrence.h"
#include "scanner/text_place.h"

namespace quorvin {
namespace {

const CodePage& cp1252()
{
    return CodePage::windows1252();
}

ReadAt readerOf(const std::string& file)
{
    return [&file](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
        if (offset >= file.size()) {
            return 0;
        }
        const std::size_t got = std::min<std::size_t>(into.size(), file.size() - offset);
        std::memcpy(into.data(), file.data() + offset, got);
        return got;
    };
}

// The place, found as a search finds it: the scanner fed blocks of `block` bytes until it tells.
std::optional<TextPlace> placeIn(const std::string& file, const std::u16string& text, std::size_t block)
{
    BlockScanner scanner(text, cp1252());
    const FirstOccurrence locator(text, cp1252());
    for (std::size_t start = 0; start < file.size(); start += block) {
        const std::size_t size = std::min(block, file.size() - start);
        if (scanner.feed({reinterpret_cast<const std::uint8_t*>(file.data()) + start, size})) {
            return placeOf(locator, cp1252(), readerOf(file), start, start + size);
        }
    }
    return std::nullopt;
}

TextForm formOf(naive::Form form)
{
    constexpr TextForm forms[] = {TextForm::CodePage, TextForm::Utf8, TextForm::Utf16Le, TextForm::Utf16Be};
    return forms[form];
}

// Whether `text` occurs at `at` in `form`, read character by character.
bool occursAt(const std::string& file, std::size_t at, const std::u16string& text, naive::Form form)
{
    if (form == naive::kCodePage) {
        const std::optional<std::string> bytes = cp1252().encode(text);
        const ByteTable& fold = cp1252().foldTable();
        return bytes && at + bytes->size() <= file.size() &&
               std::equal(bytes->begin(), bytes->end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                          [&](char a, char b) {
                              return fold[static_cast<std::uint8_t>(a)] == fold[static_cast<std::uint8_t>(b)];
                          });
    }
    const std::optional<std::u32string> characters = unicode::fromUtf16(text);
    for (const char32_t wanted : *characters) {
        if (at >= file.size()) {
            return false;
        }
        const auto [c, size] = naive::read(file, at, form);
        if (c == naive::kNone || unicode::fold(c) != unicode::fold(wanted)) {
            return false;
        }
        at += size;
    }
    return true;
}

struct Expected {
    std::size_t offset;
    std::vector<naive::Form> forms;  // those that start there
};

std::optional<Expected> firstStart(const std::string& file, const std::u16string& text)
{
    for (std::size_t at = 0; at < file.size(); ++at) {
        Expected e{at, {}};
        for (const naive::Form form : naive::kForms) {
            if (occursAt(file, at, text, form)) {
                e.forms.push_back(form);
            }
        }
        // UTF-16 text whose units share their high byte reads in the other byte order one byte early: the
        // reading at the even offset after it is the one meant.
        const auto opposite = [](naive::Form f) { return f == naive::kUtf16Le ? naive::kUtf16Be : naive::kUtf16Le; };
        if (at % 2 == 1 && !e.forms.empty() &&
            std::all_of(e.forms.begin(), e.forms.end(), [](naive::Form f) { return f >= naive::kUtf16Le; })) {
            for (const naive::Form f : e.forms) {
                if (occursAt(file, at + 1, text, opposite(f))) {
                    return Expected{at + 1, {opposite(f)}};
                }
            }
        }
        if (!e.forms.empty()) {
            return e;
        }
    }
    return std::nullopt;
}

// Line and column of `offset`, reading the file in `form` from its start one character at a time.
std::pair<std::uint64_t, std::uint64_t> lineAndColumn(const std::string& file, std::size_t offset, TextForm form)
{
    const bool utf16 = form == TextForm::Utf16Le || form == TextForm::Utf16Be;
    const naive::Form naiveForm = form == TextForm::Utf8      ? naive::kUtf8
                                  : form == TextForm::Utf16Le ? naive::kUtf16Le
                                                              : naive::kUtf16Be;
    std::uint64_t line = 1, column = 1;
    char32_t previous = 0;
    for (std::size_t at = utf16 ? offset % 2 : 0; at < offset;) {
        char32_t c = static_cast<std::uint8_t>(file[at]);
        std::size_t size = 1;
        if (form != TextForm::CodePage) {
            std::tie(c, size) = naive::read(file, at, naiveForm);
        }
        if (!(at == 0 && c == 0xFEFF)) {
            const bool lineBreak = c == U'\r' || (c == U'\n' && previous != U'\r');
            line += lineBreak ? 1 : 0;
            column = c == U'\r' || c == U'\n' ? 1 : column + 1;
        }
        previous = c;
        at += size;
    }
    return {line, column};
}

void expectRightPlace(const std::string& file, const std::u16string& text, std::size_t block)
{
    const std::optional<Expected> expected = firstStart(file, text);
    const std::optional<TextPlace> place = placeIn(file, text, block);
    ASSERT_EQ(place.has_value(), expected.has_value());
    if (!place) {
        return;
    }
    EXPECT_EQ(place->offset, expected->offset);
    std::vector<TextForm> forms;
    for (const naive::Form f : expected->forms) {
        forms.push_back(formOf(f));
    }
    EXPECT_NE(std::find(forms.begin(), forms.end(), place->form), forms.end());
    const auto [line, column] = lineAndColumn(file, place->offset, place->form);
    EXPECT_EQ(place->line, line);
    EXPECT_EQ(place->column, column);
    EXPECT_LE(place->excerpt.size(), kExcerptCharacters + 2 + 2 * text.size());
}

std::string written(const std::u16string& text, naive::Form form)
{
    if (form == naive::kCodePage) {
        return *cp1252().encode(text);
    }
    return naive::written(*unicode::fromUtf16(text), form);
}

// Random files of pieces: the text in any form and case, line breaks of every kind, tabs, BOMs, characters
// of one to four bytes in each form, and stray bytes.
TEST(TextPlace, RandomFilesAgreeWithAPlainReadingFromTheStart)
{
    std::mt19937 random(20261208);
    const std::u16string texts[] = {u"naïf", u"Été", u"ab", u"a\U0001F600b", u"kelvin"};
    const std::u16string others[] = {u"x", u"é", u"\U0001F600", u"€", u"\t", u"ſ", u"\u212A", u"Ж"};
    using namespace std::string_literals;
    const std::string breaks[] = {"\n"s, "\r"s, "\r\n"s, "\n\r"s, "\0\n"s, "\n\0"s, "\0\r\0\n"s, "\r\0\n\0"s};
    for (int round = 0; round < 600; ++round) {
        const std::u16string& text = texts[random() % std::size(texts)];
        std::string file;
        if (random() % 4 == 0) {
            file += random() % 2 ? "\xEF\xBB\xBF" : "\xFF\xFE";
        }
        const int pieces = 2 + static_cast<int>(random() % 40);
        for (int p = 0; p < pieces; ++p) {
            const naive::Form form = naive::kForms[random() % 4];
            switch (random() % 5) {
            case 0: {
                std::u16string cased = text;
                if (random() % 2) {
                    std::transform(cased.begin(), cased.end(), cased.begin(),
                                   [](char16_t c) { return c < 0x80 ? static_cast<char16_t>(std::toupper(c)) : c; });
                }
                if (form != naive::kCodePage || cp1252().encode(cased)) {
                    file += written(cased, form);
                }
                break;
            }
            case 1:
                file += breaks[random() % std::size(breaks)];
                break;
            case 2: {
                const std::u16string& other = others[random() % std::size(others)];
                if (form != naive::kCodePage || cp1252().encode(other)) {
                    file += written(other, form);
                }
                break;
            }
            case 3:
                file += static_cast<char>(random());
                break;
            default:
                file += std::string(random() % 30, 'x');
            }
        }
        SCOPED_TRACE(round);
        expectRightPlace(file, text, 1 + random() % 64);
    }
}

// The scanner tells the block where some form has occurred, not the first: a UTF-16 occurrence that
// starts earlier may be in the same block, at either parity, or end in the next.
TEST(TextPlace, TheOccurrenceThatStartsFirstWhateverTheFormsOrder)
{
    for (const std::size_t pad : {0, 1, 2, 3}) {
        const std::string file = std::string(pad, 'x') + written(u"été", naive::kUtf16Be) + "\n" +
                                 written(u"ÉTÉ", naive::kCodePage) + written(u"été", naive::kUtf8);
        for (const std::size_t block : {4, 7, 8, 64}) {
            const std::optional<TextPlace> place = placeIn(file, u"été", block);
            ASSERT_TRUE(place);
            EXPECT_EQ(place->offset, pad);
            EXPECT_EQ(place->form, TextForm::Utf16Be);
            EXPECT_EQ(place->column, 1 + pad / 2);
        }
        expectRightPlace(file, u"été", 5);
        const std::string later = std::string(40, '.') + written(u"été", naive::kCodePage) + std::string(pad, '-') +
                                  written(u"été", naive::kUtf16Le);
        expectRightPlace(later, u"été", 16);
        EXPECT_EQ(placeIn(later, u"été", 16)->form, TextForm::CodePage);
    }
}

// Line breaks split across the reads count once, in every form and at either UTF-16 parity.
TEST(TextPlace, LineBreaksCountTheSameHoweverTheBytesAreSplit)
{
    std::mt19937 random(7);
    for (const naive::Form form : naive::kForms) {
        for (int round = 0; round < 200; ++round) {
            std::u16string text;
            for (int i = 0; i < 400; ++i) {
                text += u"\r\nab\xE9\t"[random() % 6];
            }
            const std::size_t pad = form == naive::kUtf16Le || form == naive::kUtf16Be ? random() % 2 : 0;
            const std::string file = std::string(pad, '\n') + written(text, form);
            const auto expected = lineAndColumn(file + "zz", file.size(), formOf(form));
            LineBreaks whole(formOf(form), pad);
            whole.feed({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()});
            LineBreaks split(formOf(form), pad);
            for (std::size_t at = 0; at < file.size();) {
                const std::size_t size = std::min<std::size_t>(1 + random() % (round % 2 ? 11 : 150), file.size() - at);
                split.feed({reinterpret_cast<const std::uint8_t*>(file.data()) + at, size});
                at += size;
            }
            EXPECT_EQ(whole.count() + 1, expected.first);
            EXPECT_EQ(split.count(), whole.count());
            EXPECT_EQ(split.lineStart(), whole.lineStart());
        }
    }
}

// A pair of surrogates is one character, a BOM none, a tab one; the line is shown with controls as spaces.
TEST(TextPlace, ColumnsCountCharactersAndTheLineShowsThem)
{
    const std::string utf8 = "\xEF\xBB\xBF" + written(u"\U0001F600\tvoilà le texte cherché, fin", naive::kUtf8);
    const std::optional<TextPlace> place = placeIn(utf8, u"TEXTE", 32000);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->form, TextForm::Utf8);
    EXPECT_EQ(place->offset, 3 + 4 + 1 + 10);
    EXPECT_EQ(place->line, 1);
    EXPECT_EQ(place->column, 12);
    EXPECT_EQ(place->excerpt, u"\U0001F600 voilà le texte cherché, fin");
    EXPECT_EQ(place->wholeLine, place->excerpt);

    const std::string utf16 = "\xFF\xFE" + written(u"a\r\nb\rc\U0001F600d Nœud", naive::kUtf16Le);
    const std::optional<TextPlace> inUtf16 = placeIn(utf16, u"nœud", 5);
    ASSERT_TRUE(inUtf16);
    EXPECT_EQ(inUtf16->form, TextForm::Utf16Le);
    EXPECT_EQ(inUtf16->line, 3);
    EXPECT_EQ(inUtf16->column, 5);
    EXPECT_EQ(inUtf16->excerpt, u"c\U0001F600d Nœud");

    // Plain ASCII in a file whose line holds UTF-8 reads as UTF-8; in Windows-1252 text, as the code page.
    const std::optional<TextPlace> ascii = placeIn(written(u"déjà vu", naive::kUtf8), u"vu", 3);
    ASSERT_TRUE(ascii);
    EXPECT_EQ(ascii->form, TextForm::Utf8);
    EXPECT_EQ(ascii->column, 6);
    const std::optional<TextPlace> cp = placeIn(written(u"déjà vu", naive::kCodePage), u"vu", 3);
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->form, TextForm::CodePage);
    EXPECT_EQ(cp->column, 6);
}

// A line of 10 MiB: the column counts all of it, the excerpt and the tool tip's line stay short.
TEST(TextPlace, ALongLineIsCountedWholeAndShownInPart)
{
    const std::size_t before = 10u << 20;
    std::string file = "intro\r\n" + std::string(before, 'a') + "CIBLE" + std::string(before, 'b') + "\nfin";
    file[7 + before - 10] = '\x01';  // shown as a space
    const std::optional<TextPlace> place = placeIn(file, u"cible", 32000);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->line, 2);
    EXPECT_EQ(place->column, before + 1);
    const std::u16string tail = u" " + std::u16string(9, u'a') + u"CIBLE";
    EXPECT_EQ(place->excerpt, u"…" + std::u16string(13, u'a') + tail + std::u16string(24, u'b') + u"…");
    EXPECT_EQ(place->wholeLine,
              u"…" + std::u16string(kLineReach - 10, u'a') + tail + std::u16string(kLineReach, u'b') + u"…");
}

}  // namespace
}  // namespace quorvin
