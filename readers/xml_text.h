#pragma once
// The text a reader sees in the XML parts of office documents and e-books, in UTF-8, without the markup.
//
// The caller may rely on: the part is read once, front to back, in chunks, and memory stays bounded whatever
// the input (of a name or an attribute value only the first bytes are kept, the rest is skipped). The text
// arrives in document order, in pieces of at most about 32 KiB, each cut between two characters; an
// occurrence may span two pieces. Only the five predefined entities and numeric character references are expanded (in
// Xhtml also HTML's names for Latin-1 and typographic characters, such as &nbsp;); any other entity stays as
// written, and the document type declaration is skipped, so nothing but `source` is ever read.
// Failure: malformed or truncated XML is read leniently, without an exception. Elements nested deeper than
// kMaxElementDepth throw UnreadablePart(Fault::TooDeep), and the source's own UnreadablePart passes through;
// either way the text read before it has gone to the sink first.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "readers/source.h"

namespace quorvin::readers {

// Which kind of XML part is read, and so which of its elements hold visible text.
enum class Vocabulary {
    WordProcessing,      // Word: word/document.xml, header*.xml, footer*.xml, footnotes, endnotes, comments
    SharedStrings,       // Excel: xl/sharedStrings.xml
    Worksheet,           // Excel: xl/worksheets/sheet*.xml (inline strings, values as stored)
    Workbook,            // Excel: xl/workbook.xml (the sheets' names)
    SharedStringCells,   // Excel: a worksheet's cells that show a shared string, for telling where it shows:
                         // the text is each one's index, a line each, after the Cell mark of its reference
    Presentation,        // PowerPoint: ppt/slides/slide*.xml, ppt/notesSlides/notesSlide*.xml
    OpenDocument,        // content.xml, and a flat .fodt/.fods/.fodp (its body and master styles)
    OpenDocumentStyles,  // styles.xml: the master pages' headers and footers only
    Xhtml,               // an EPUB's chapters: the body, without scripts and styles
};

// How many elements may be open at once; real documents stay far below it.
inline constexpr std::size_t kMaxElementDepth = 256;

// Receives the text in pieces; returns true to stop the reading (the text searched for was found).
using TextSink = std::function<bool(std::span<const std::uint8_t> utf8)>;

// What starts or ends in the text where a reader of the document sees it, for telling where a text is.
enum class Mark {
    Paragraph,   // a paragraph or a heading of WordprocessingML or OpenDocument starts
    Note,        // a footnote or an endnote; `value` is WordprocessingML's w:type, empty for a note of the text
    Comment,     // a comment, an annotation
    Header,      // OpenDocument: a master page's header
    Footer,      // OpenDocument: a master page's footer
    Slide,       // OpenDocument: a presentation's page
    SlideNotes,  // OpenDocument: the notes of the page
    Sheet,       // OpenDocument: a spreadsheet's table; `value` is its name
    Row,         // OpenDocument: a spreadsheet's row; `value` is how many rows it stands for, empty for one
    Cell,        // a spreadsheet's cell; `value` is SpreadsheetML's reference (r), or how many columns an
                 // OpenDocument cell stands for, empty for one
    StringItem,  // SpreadsheetML: the next shared string
    End,         // the note, comment, header, footer or slide's notes that started last ends
};
// `at`: how many bytes of text were handed over before it.
using MarkSink = std::function<void(std::uint64_t at, Mark mark, std::string_view value)>;

// Reads `source` to its end and hands its visible text to `sink`. True as soon as the sink stopped it.
// Where `marks` is given, it is told the marks as the text reaches them; the reading is slower then.
bool readXmlText(Source& source, Vocabulary vocabulary, const TextSink& sink, const MarkSink* marks = nullptr);

}  // namespace quorvin::readers
