#pragma once
// Where a text found inside a file is: in an archive's member, and in a document where its reader sees it
// (the paragraph, the note, the comment, the header or footer, the sheet's cell, the slide or its notes,
// the chapter), with the text around it there.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readers/source.h"
#include "readers/xml_text.h"
#include "scanner/first_occurrence.h"
#include "scanner/text_place.h"

namespace quorvin::readers {

// Where a document's reader sees the text.
struct DocumentPlace {
    enum class Where { Paragraph, Header, Footer, Note, Comment, SheetName, Cell, Slide, SlideNotes, Chapter };
    Where where = Where::Paragraph;
    std::uint64_t number = 0;  // of a paragraph, a note or a slide, from 1; 0 where the part does not tell it
    std::u16string name;       // a cell's sheet and reference (« Dépenses!B2 »), a chapter's file
};

// Where the text first occurs: in the file's own bytes, in an archive's member, in a document.
struct FoundPlace : TextPlace {
    // The path of the archive's member that holds it, empty in the file's own bytes and in what a gzip
    // file holds; for a document inside an archive, the document's path.
    std::u16string part;
    // In a document: where its reader sees it. Offset, form (UTF-8), line and column then count in the
    // text of that paragraph, cell or slide, and the excerpt is taken from it.
    std::optional<DocumentPlace> document;
};

// Names and texts as parts store them, in UTF-8; what reads as no character becomes U+FFFD.
std::u16string fromUtf8(std::string_view bytes);

// Where the first occurrence `locator` finds is in the document's part `name` (empty for a flat
// OpenDocument file) of `vocabulary`, given that its text, read by readXmlText, first held the text once
// its bytes [blockStart, blockEnd) were searched. `part` is read again from its start, up to a little
// past the block. Nothing where it is not found again, or once `goOn` says to stop.
std::optional<FoundPlace> placeInDocument(Source& part, Vocabulary vocabulary, std::string_view name,
                                          const FirstOccurrence& locator, std::uint64_t blockStart,
                                          std::uint64_t blockEnd, const std::function<bool()>& goOn);

// Opens a document's part by its name; nothing where the document has none.
using PartOpener = std::function<std::unique_ptr<Source>(std::string_view name)>;

// Completes a place in an Excel workbook's part `name`: a worksheet's cell gets its sheet's name, and a
// shared string the first cell that shows it, in `worksheets` (their parts' names, in the order they are
// searched). The sheets are taken in the workbook's order, the first as sheet1.xml, as Excel and
// LibreOffice write them.
void placeCell(DocumentPlace& place, std::string_view name, const std::vector<std::string>& worksheets,
               const PartOpener& open);

}  // namespace quorvin::readers
