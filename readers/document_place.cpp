#include "readers/document_place.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "scanner/linear_matcher.h"
#include "scanner/unicode_form.h"

namespace quorvin::readers {

namespace {

using Where = DocumentPlace::Where;

// What of a part's text is held at the most while it is read again before the occurrence: a paragraph
// longer than this is shown from where it was cut.
constexpr std::size_t kHeldText = 1024 * 1024;

std::string_view fileNameOf(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// The number a part's file name ends with, as in ppt/slides/slide12.xml; 0 for none.
std::uint64_t numberIn(std::string_view name)
{
    std::string_view file = fileNameOf(name);
    file = file.substr(0, file.find('.'));
    std::uint64_t number = 0;
    for (std::size_t at = file.find_last_not_of("0123456789") + 1; at < file.size(); ++at) {
        number = number * 10 + static_cast<std::uint64_t>(file[at] - '0');
    }
    return number;
}

// How many rows or columns an OpenDocument row or cell stands for.
std::uint64_t repeated(std::string_view value)
{
    std::uint64_t count = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || count > 1'000'000'000) {
            return 1;
        }
        count = count * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return count == 0 ? 1 : count;
}

// A spreadsheet's column as its letters: 1 is A, 27 is AA.
std::u16string columnLetters(std::uint64_t column)
{
    std::u16string letters;
    for (; column > 0; column = (column - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char16_t>(u'A' + (column - 1) % 26));
    }
    return letters;
}

// Where the text that follows is, as the marks and the part's name tell it.
class Position {
public:
    Position(Vocabulary vocabulary, std::string_view name) : vocabulary_(vocabulary)
    {
        const std::string_view file = fileNameOf(name);
        switch (vocabulary) {
        case Vocabulary::WordProcessing:
            now_.where = file.starts_with("header")                                      ? Where::Header
                         : file.starts_with("footer")                                    ? Where::Footer
                         : file.starts_with("footnotes") || file.starts_with("endnotes") ? Where::Note
                         : file.starts_with("comments")                                  ? Where::Comment
                                                                                         : Where::Paragraph;
            break;
        case Vocabulary::Presentation:
            now_.where = file.starts_with("notesSlide") ? Where::SlideNotes : Where::Slide;
            now_.number = numberIn(name);
            break;
        case Vocabulary::Workbook:
            now_.where = Where::SheetName;
            break;
        case Vocabulary::SharedStrings:
        case Vocabulary::Worksheet:
        case Vocabulary::SharedStringCells:
            now_.where = Where::Cell;
            break;
        case Vocabulary::Xhtml:
            now_.where = Where::Chapter;
            now_.name = fromUtf8(name);
            break;
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            break;
        }
    }

    const DocumentPlace& now() const { return now_; }

    void mark(Mark mark, std::string_view value)
    {
        switch (mark) {
        case Mark::Paragraph:
            // The body's paragraphs only: not those of a note, a comment, a header, a slide or a cell.
            if (now_.where == Where::Paragraph && outer_.empty() && slides_ == 0 && sheet_.empty()) {
                now_.number = ++paragraphs_;
            }
            break;
        case Mark::Note:
            if (vocabulary_ == Vocabulary::WordProcessing) {
                // Word's separators are notes too, that no reader numbers.
                now_ = {Where::Note, value.empty() || value == "normal" ? ++notes_ : 0, {}};
            } else {
                enter({Where::Note, ++notes_, {}});
            }
            break;
        case Mark::Comment:
            if (vocabulary_ == Vocabulary::WordProcessing) {
                now_ = {Where::Comment, 0, {}};
            } else {
                enter({Where::Comment, 0, {}});
            }
            break;
        case Mark::Header:
            enter({Where::Header, 0, {}});
            break;
        case Mark::Footer:
            enter({Where::Footer, 0, {}});
            break;
        case Mark::Slide:
            now_ = {Where::Slide, ++slides_, {}};
            break;
        case Mark::SlideNotes:
            enter({Where::SlideNotes, slides_, {}});
            break;
        case Mark::End:
            if (!outer_.empty()) {
                now_ = std::move(outer_.back());
                outer_.pop_back();
            }
            break;
        case Mark::Sheet:
            sheet_ = fromUtf8(value);
            nextRow_ = 1;
            now_ = {Where::SheetName, 0, sheet_};
            break;
        case Mark::Row:
            row_ = nextRow_;
            nextRow_ += repeated(value);
            nextColumn_ = 1;
            break;
        case Mark::Cell:
            if (vocabulary_ == Vocabulary::Worksheet) {
                now_ = {Where::Cell, 0, fromUtf8(value)};
            } else if (!sheet_.empty() && outer_.empty()) {
                const std::uint64_t column = nextColumn_;
                nextColumn_ += repeated(value);
                now_ = {Where::Cell, 0, sheet_ + u'!' + columnLetters(column) + fromUtf8(std::to_string(row_))};
            }
            break;
        case Mark::StringItem:
            now_ = {Where::Cell, ++strings_, {}};
            break;
        }
    }

private:
    void enter(DocumentPlace inner)
    {
        outer_.push_back(std::move(now_));
        now_ = std::move(inner);
    }

    Vocabulary vocabulary_;
    DocumentPlace now_;
    std::vector<DocumentPlace> outer_;  // where the text goes on once a note, a comment... ends
    std::uint64_t paragraphs_ = 0, notes_ = 0, slides_ = 0, strings_ = 0;
    std::u16string sheet_;
    std::uint64_t row_ = 0, nextRow_ = 1, nextColumn_ = 1;
};

// The names of a workbook's sheets, in its order.
std::vector<std::u16string> sheetNames(Source& workbook)
{
    std::string text;
    readXmlText(workbook, Vocabulary::Workbook, [&text](std::span<const std::uint8_t> piece) {
        text.append(reinterpret_cast<const char*>(piece.data()), piece.size());
        return false;
    });
    std::vector<std::u16string> names;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        names.push_back(fromUtf8(std::string_view(text).substr(at, end - at)));
    }
    return names;
}

// The reference of the first cell of a worksheet that shows the shared string `index` (from 0).
std::optional<std::u16string> cellShowing(Source& sheet, std::uint64_t index)
{
    std::deque<std::pair<std::uint64_t, std::string>> cells;  // marked, their index not read yet
    const MarkSink marks = [&cells](std::uint64_t at, Mark mark, std::string_view value) {
        if (mark == Mark::Cell) {
            cells.emplace_back(at, value);
        }
    };
    std::optional<std::u16string> found;
    std::uint64_t offset = 0, lineStart = 0, number = 0;
    bool digits = true;
    const TextSink sink = [&](std::span<const std::uint8_t> piece) {
        for (const std::uint8_t byte : piece) {
            ++offset;
            if (byte != '\n') {
                digits = digits && byte >= '0' && byte <= '9' && number < 1'000'000'000'000;
                number = digits ? number * 10 + (byte - '0') : 0;
                continue;
            }
            while (!cells.empty() && cells.front().first < lineStart) {
                cells.pop_front();
            }
            if (digits && number == index && !cells.empty() && cells.front().first == lineStart) {
                found = fromUtf8(cells.front().second);
                return true;
            }
            lineStart = offset;
            number = 0;
            digits = true;
        }
        return false;
    };
    readXmlText(sheet, Vocabulary::SharedStringCells, sink, &marks);
    return found;
}

}  // namespace

void placeCell(DocumentPlace& place, std::string_view name, const std::vector<std::string>& worksheets,
               const PartOpener& open)
{
    std::vector<std::u16string> sheets;
    if (const std::unique_ptr<Source> workbook = open("xl/workbook.xml")) {
        sheets = sheetNames(*workbook);
    }
    const auto sheetOf = [&sheets](std::string_view worksheet) {
        const std::uint64_t number = numberIn(worksheet);
        return number >= 1 && number <= sheets.size() ? sheets[number - 1] + u'!' : std::u16string();
    };
    if (!place.name.empty()) {
        place.name = sheetOf(name) + place.name;  // a worksheet's own cell
        return;
    }
    if (place.number == 0) {
        return;
    }
    for (const std::string& worksheet : worksheets) {
        if (const std::unique_ptr<Source> sheet = open(worksheet)) {
            if (const std::optional<std::u16string> cell = cellShowing(*sheet, place.number - 1)) {
                place = {Where::Cell, 0, sheetOf(worksheet) + *cell};
                return;
            }
        }
    }
}

std::u16string fromUtf8(std::string_view bytes)
{
    std::u16string text;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size();) {
        const Decoded decoded = decode(Encoding::Utf8, std::span(data + at, bytes.size() - at));
        char32_t c = decoded.character == LinearMatcher::kNoCharacter ? U'\uFFFD' : decoded.character;
        if (c >= 0x10000) {
            c -= 0x10000;
            text += static_cast<char16_t>(0xd800 + (c >> 10));
            text += static_cast<char16_t>(0xdc00 + (c & 0x3ff));
        } else {
            text += static_cast<char16_t>(c);
        }
        at += decoded.size;
    }
    return text;
}

std::optional<FoundPlace> placeInDocument(Source& part, Vocabulary vocabulary, std::string_view name,
                                          const FirstOccurrence& locator, std::uint64_t blockStart,
                                          std::uint64_t blockEnd, const std::function<bool()>& goOn)
{
    // The first occurrence starts at most the longest occurrence before the block.
    const std::uint64_t regionStart = blockStart > locator.longest() ? blockStart - locator.longest() : 0;
    const std::uint64_t enough = blockEnd + locator.longest() + 4 * kLineReach;

    // Each stretch of text starts at a mark: the last one to start by the region's start, and those after.
    struct Stretch {
        std::uint64_t start = 0;
        DocumentPlace place;
    };
    Position position(vocabulary, name);
    Stretch first{0, position.now()};
    std::vector<Stretch> later;
    std::vector<std::uint8_t> text;  // the part's text from textStart on
    std::uint64_t textStart = 0;
    const auto dropBefore = [&](std::uint64_t offset) {
        const auto dropped =
            static_cast<std::size_t>(std::min<std::uint64_t>(text.size(), offset - std::min(offset, textStart)));
        text.erase(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(dropped));
        textStart = std::max(textStart, offset);
    };
    const MarkSink marks = [&](std::uint64_t at, Mark mark, std::string_view value) {
        position.mark(mark, value);
        if (at <= regionStart) {
            first = {at, position.now()};
            dropBefore(at);
        } else if (at < enough) {
            later.push_back({at, position.now()});
        }
    };
    const TextSink sink = [&](std::span<const std::uint8_t> piece) {
        const std::uint64_t end = textStart + text.size() + piece.size();
        const std::uint64_t skipped =
            std::min<std::uint64_t>(piece.size(), textStart - std::min(textStart, end - piece.size()));
        text.insert(text.end(), piece.begin() + static_cast<std::ptrdiff_t>(skipped), piece.end());
        if (text.size() > kHeldText && end <= regionStart) {
            dropBefore(end - kHeldText / 2);
        }
        return end >= enough || (goOn && !goOn());
    };
    readXmlText(part, vocabulary, sink, &marks);
    if ((goOn && !goOn()) || regionStart < textStart || regionStart - textStart > text.size()) {
        return std::nullopt;
    }
    const std::optional<Occurrence> found =
        locator.find(std::span<const std::uint8_t>(text).subspan(static_cast<std::size_t>(regionStart - textStart)));
    if (!found) {
        return std::nullopt;
    }
    const std::uint64_t at = regionStart + found->start;
    Stretch stretch = first;
    std::uint64_t stretchEnd = textStart + text.size();
    for (const Stretch& next : later) {
        if (next.start > at) {
            stretchEnd = next.start;
            break;
        }
        stretch = next;
    }
    const std::uint64_t from = std::max(stretch.start, textStart);
    stretchEnd = std::clamp(stretchEnd, at + found->size, textStart + text.size());
    // The tab or line end that closes a cell or a paragraph is none of its text.
    while (stretchEnd > at + found->size &&
           (text[stretchEnd - 1 - textStart] == '\t' || text[stretchEnd - 1 - textStart] == '\n')) {
        --stretchEnd;
    }
    const auto shown = std::span<const std::uint8_t>(text).subspan(static_cast<std::size_t>(from - textStart),
                                                                   static_cast<std::size_t>(stretchEnd - from));
    const ReadAt read = [shown](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
        if (offset >= shown.size()) {
            return 0;
        }
        const std::size_t count = std::min<std::size_t>(into.size(), shown.size() - static_cast<std::size_t>(offset));
        std::copy_n(shown.begin() + static_cast<std::ptrdiff_t>(offset), count, into.begin());
        return count;
    };
    std::optional<TextPlace> place = placeOf(locator, CodePage::windows1252(), read, at - from, at - from + 1, goOn);
    if (!place) {
        return std::nullopt;
    }
    return FoundPlace{std::move(*place), {}, std::move(stretch.place)};
}

}  // namespace quorvin::readers
