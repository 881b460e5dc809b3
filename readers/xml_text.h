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

#include "readers/source.h"

namespace quorvin::readers {

// Which kind of XML part is read, and so which of its elements hold visible text.
enum class Vocabulary {
    WordProcessing,      // Word: word/document.xml, header*.xml, footer*.xml, footnotes, endnotes, comments
    SharedStrings,       // Excel: xl/sharedStrings.xml
    Worksheet,           // Excel: xl/worksheets/sheet*.xml (inline strings, values as stored)
    Workbook,            // Excel: xl/workbook.xml (the sheets' names)
    Presentation,        // PowerPoint: ppt/slides/slide*.xml, ppt/notesSlides/notesSlide*.xml
    OpenDocument,        // content.xml, and a flat .fodt/.fods/.fodp (its body and master styles)
    OpenDocumentStyles,  // styles.xml: the master pages' headers and footers only
    Xhtml,               // an EPUB's chapters: the body, without scripts and styles
};

// How many elements may be open at once; real documents stay far below it.
inline constexpr std::size_t kMaxElementDepth = 256;

// Receives the text in pieces; returns true to stop the reading (the text searched for was found).
using TextSink = std::function<bool(std::span<const std::uint8_t> utf8)>;

// Reads `source` to its end and hands its visible text to `sink`. True as soon as the sink stopped it.
bool readXmlText(Source& source, Vocabulary vocabulary, const TextSink& sink);

}  // namespace quorvin::readers
