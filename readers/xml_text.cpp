#include "readers/xml_text.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin::readers {

namespace {

constexpr std::size_t kChunkSize = 32 * 1024;  // pulled from the source at a time
constexpr std::size_t kPieceSize = 32 * 1024;  // handed to the sink at a time, give or take one character
constexpr std::size_t kMaxKeptSize = 256;      // of a name or an attribute value; the rest is skipped
constexpr std::size_t kMaxEntityName = 32;     // longer, it is no entity the program knows
constexpr int kMaxSpaces = 1000;               // what one text:s may stand for
constexpr int kEnd = -1;
constexpr char32_t kReplacement = 0xFFFD;

bool isSpace(int byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f';
}

bool isAsciiLetterOrDigit(int byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
}

// Whether `byte` may begin an element's name; after any other, a '<' is taken for text.
bool beginsName(int byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_' || byte == ':' || byte >= 0x80;
}

int digitValue(int byte, bool hexadecimal)
{
    if (byte >= '0' && byte <= '9') return byte - '0';
    if (!hexadecimal) return -1;
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

// The characters XML lets a document hold.
bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void appendUtf8(std::string& into, char32_t c)
{
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (c < 0x80) {
        into += byte(c);
    } else if (c < 0x800) {
        into += {byte(0xC0 | c >> 6), byte(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        into += {byte(0xE0 | c >> 12), byte(0x80 | (c >> 6 & 0x3F)), byte(0x80 | (c & 0x3F))};
    } else {
        into += {byte(0xF0 | c >> 18), byte(0x80 | (c >> 12 & 0x3F)), byte(0x80 | (c >> 6 & 0x3F)),
                 byte(0x80 | (c & 0x3F))};
    }
}

// Drops a character cut short at the end, so that what is kept of a long value is whole UTF-8.
void dropCutCharacter(std::string& value)
{
    std::size_t lead = value.size();
    while (lead > 0 && value.size() - lead < 3 && (static_cast<unsigned char>(value[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) return;
    const auto first = static_cast<unsigned char>(value[lead - 1]);
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (value.size() - (lead - 1) < length) value.resize(lead - 1);
}

void keep(std::string& into, int byte)
{
    if (into.size() < kMaxKeptSize) into += static_cast<char>(byte);
}

template <std::size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// HTML's names for U+00A0 to U+00FF, in order.
constexpr std::array<std::string_view, 96> kLatin1Entities = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// And the typographic ones books are written with.
constexpr std::array<std::pair<std::string_view, char32_t>, 35> kTypographicEntities = {{
    {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161},  {"Yuml", 0x178},
    {"circ", 0x2C6},    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},   {"thinsp", 0x2009},
    {"zwnj", 0x200C},   {"zwj", 0x200D},    {"lrm", 0x200E},    {"rlm", 0x200F},    {"ndash", 0x2013},
    {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},
    {"rdquo", 0x201D},  {"bdquo", 0x201E},  {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},
    {"hellip", 0x2026}, {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033},  {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"euro", 0x20AC},   {"trade", 0x2122},  {"larr", 0x2190},   {"rarr", 0x2192},
}};

// The character an entity's name stands for, or 0 when the program does not expand it.
char32_t namedEntity(std::string_view name, bool html)
{
    constexpr std::array<std::pair<std::string_view, char32_t>, 5> predefined = {
        {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [entity, character] : predefined) {
        if (name == entity) return character;
    }
    if (!html) return 0;
    if (const auto latin1 = std::find(kLatin1Entities.begin(), kLatin1Entities.end(), name);
        latin1 != kLatin1Entities.end()) {
        return static_cast<char32_t>(0xA0 + (latin1 - kLatin1Entities.begin()));
    }
    for (const auto& [entity, character] : kTypographicEntities) {
        if (name == entity) return character;
    }
    return 0;
}

constexpr std::array<std::string_view, 9> kOpenDocumentSkipped = {
    "text:tracked-changes",  // the deleted revisions
    "office:annotation-end",
    "svg:title",
    "svg:desc",
    "office:forms",
    "draw:image",          // an object's replacement picture, and a picture's own text
    "office:binary-data",  // a flat file's embedded pictures, in base64
    "dc:creator",          // a comment's author and date
    "dc:date",
};

constexpr std::array<std::string_view, 4> kHtmlHidden = {"head", "script", "style", "template"};

constexpr std::array<std::string_view, 34> kHtmlBlocks = {
    "p",       "div",        "h1",         "h2",      "h3",      "h4",       "h5",      "h6",     "li",
    "dt",      "dd",         "blockquote", "pre",     "tr",      "section",  "article", "aside",  "header",
    "footer",  "figcaption", "table",      "ul",      "ol",      "dl",       "nav",     "figure", "main",
    "address", "hr",         "caption",    "details", "summary", "fieldset", "legend",
};

// The source's bytes one at a time, pulled in chunks, with line ends read as XML reads them: CR LF and a
// lone CR as LF.
class Input {
public:
    explicit Input(Source& source) : source_(source), chunk_(kChunkSize) {}

    int peek()
    {
        if (position_ == size_ && !refill()) return kEnd;
        return chunk_[position_];
    }

    int get()
    {
        const int byte = peek();
        if (byte == kEnd) return kEnd;
        ++position_;
        if (byte != '\r') return byte;
        if (peek() == '\n') ++position_;
        return '\n';
    }

    // Consumes the bytes that follow, if they are `literal`; stops at the first that differs.
    bool accept(std::string_view literal)
    {
        for (const char c : literal) {
            if (peek() != static_cast<unsigned char>(c)) return false;
            get();
        }
        return true;
    }

    // Consumes the input up to and including `terminator`, or to its end.
    bool skipPast(std::string_view terminator)
    {
        std::string recent(terminator.size(), '\0');
        for (int byte = get(); byte != kEnd; byte = get()) {
            recent.erase(0, 1);
            recent += static_cast<char>(byte);
            if (recent == terminator) return true;
        }
        return false;
    }

    void skipSpaces()
    {
        while (isSpace(peek())) get();
    }

private:
    bool refill()
    {
        if (ended_) return false;
        position_ = 0;
        size_ = source_.read(chunk_);
        ended_ = size_ == 0;
        return !ended_;
    }

    Source& source_;
    std::vector<std::uint8_t> chunk_;
    std::size_t position_ = 0;
    std::size_t size_ = 0;
    bool ended_ = false;
};

// Gathers the text into pieces for the sink, and remembers that the sink had enough.
class Output {
public:
    explicit Output(const TextSink& sink) : sink_(sink) { piece_.reserve(kPieceSize + 4); }

    void put(std::uint8_t byte)
    {
        if (stopped_) return;
        // Cut only before a character's first byte, so that each piece is whole UTF-8 when the part is.
        if (piece_.size() >= kPieceSize && (byte & 0xC0) != 0x80 && flush()) return;
        piece_.push_back(byte);
        last_ = byte;
    }

    void put(std::string_view bytes)
    {
        for (const char c : bytes) put(static_cast<std::uint8_t>(c));
    }

    // Hands over what was gathered; true once the sink has stopped the reading.
    bool flush()
    {
        if (!stopped_ && !piece_.empty()) {
            stopped_ = sink_(piece_);
            piece_.clear();
        }
        return stopped_;
    }

    bool stopped() const { return stopped_; }
    std::uint8_t last() const { return last_; }  // 0 before the first byte

private:
    const TextSink& sink_;
    std::vector<std::uint8_t> piece_;
    std::uint8_t last_ = 0;
    bool stopped_ = false;
};

// An open element, and what it makes of the text inside it.
struct Frame {
    std::string name;
    bool inScope = false;           // inside the part's visible region, and not in a skipped element
    bool text = false;              // its character data is visible text
    bool inParagraph = false;       // OpenDocument: inside text:p or text:h, where white space is content
    bool preformatted = false;      // Xhtml: inside pre
    bool inStringItem = false;      // SpreadsheetML: inside a shared string, or a cell's inline string
    bool sharedStringCell = false;  // a worksheet's cell whose value indexes the shared strings
    bool choiceTaken = false;       // mc:AlternateContent: its first mc:Choice has been read
};

// The vocabulary's rules: which elements hold text, which give separators, which are skipped.
class VisibleText {
public:
    VisibleText(Vocabulary vocabulary, Output& output) : vocabulary_(vocabulary), output_(output)
    {
        stack_.reserve(kMaxElementDepth + 1);
        // All of an Office Open XML part may hold text; an OpenDocument or XHTML part, only its body.
        stack_.push_back(Frame{.name = {}, .inScope = isOfficeOpenXml()});
    }

    // XHTML's names are matched whatever their case; SpreadsheetML's also under the prefix x: that some
    // producers write.
    void normalize(std::string& name) const
    {
        if (vocabulary_ == Vocabulary::Xhtml) {
            std::transform(name.begin(), name.end(), name.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        } else if (isSpreadsheet() && name.starts_with("x:")) {
            name.erase(0, 2);
        }
    }

    // The one attribute of `element` the rules need, if any.
    std::string_view wantedAttribute(std::string_view element) const
    {
        switch (vocabulary_) {
        case Vocabulary::Worksheet:
            return element == "c" ? "t" : "";
        case Vocabulary::Workbook:
            return element == "sheet" ? "name" : "";
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            return element == "table:table" ? "table:name" : element == "text:s" ? "text:c" : "";
        default:
            return "";
        }
    }

    char32_t entity(std::string_view name) const { return namedEntity(name, vocabulary_ == Vocabulary::Xhtml); }

    void start(std::string name, std::optional<std::string_view> attribute)
    {
        if (stack_.size() > kMaxElementDepth) {
            throw UnreadablePart(Fault::TooDeep,
                                 "XML elements nested more than " + std::to_string(kMaxElementDepth) + " deep");
        }
        Frame& parent = stack_.back();
        Frame frame{.name = std::move(name),
                    .inScope = parent.inScope,
                    .text = parent.text,
                    .inParagraph = parent.inParagraph,
                    .preformatted = parent.preformatted,
                    .inStringItem = parent.inStringItem};
        if (isOfficeOpenXml()) readFirstChoiceOnly(parent, frame);
        switch (vocabulary_) {
        case Vocabulary::WordProcessing:
            startWord(parent, frame);
            break;
        case Vocabulary::SharedStrings:
        case Vocabulary::Worksheet:
            startCells(parent, frame, attribute);
            break;
        case Vocabulary::Workbook:
            if (frame.inScope && frame.name == "sheet" && parent.name == "sheets" && attribute) {
                emit(*attribute);
                emit("\n");
            }
            break;
        case Vocabulary::Presentation:
            if (frame.inScope && frame.name == "a:t") frame.text = true;
            if (frame.inScope && frame.name == "a:br") emit("\n");
            break;
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            startOpenDocument(parent, frame, attribute);
            break;
        case Vocabulary::Xhtml:
            startXhtml(frame);
            break;
        }
        stack_.push_back(std::move(frame));
    }

    // Leniently: an end tag also closes the elements left open inside it, and one that closes nothing is
    // ignored.
    void end(std::string_view name)
    {
        for (std::size_t depth = stack_.size() - 1; depth > 0; --depth) {
            if (stack_[depth].name != name) continue;
            while (stack_.size() > depth) {
                finish(stack_.back());
                stack_.pop_back();
            }
            return;
        }
    }

    void character(std::uint8_t byte)
    {
        const Frame& frame = stack_.back();
        if (!frame.text) return;
        if (vocabulary_ == Vocabulary::Xhtml && !frame.preformatted) {
            // As a browser renders it: a run of white space is one space, none at a line's start.
            if (isSpace(byte)) {
                pendingSpace_ = true;
                return;
            }
            const std::uint8_t last = output_.last();
            if (pendingSpace_ && last != 0 && last != '\n' && last != '\t' && last != ' ') output_.put(' ');
            pendingSpace_ = false;
        } else if (isOpenDocument() && !frame.inParagraph) {
            // Outside paragraphs, white space alone is the file's indentation.
            if (isSpace(byte)) {
                keep(heldSpace_, byte);
                return;
            }
            output_.put(heldSpace_);
            heldSpace_.clear();
        }
        output_.put(byte);
    }

    // A tag, a comment or an instruction ends the text before it.
    void markup() { heldSpace_.clear(); }

private:
    bool isOfficeOpenXml() const
    {
        return vocabulary_ != Vocabulary::OpenDocument && vocabulary_ != Vocabulary::OpenDocumentStyles &&
               vocabulary_ != Vocabulary::Xhtml;
    }

    bool isSpreadsheet() const
    {
        return vocabulary_ == Vocabulary::SharedStrings || vocabulary_ == Vocabulary::Worksheet ||
               vocabulary_ == Vocabulary::Workbook;
    }

    bool isOpenDocument() const
    {
        return vocabulary_ == Vocabulary::OpenDocument || vocabulary_ == Vocabulary::OpenDocumentStyles;
    }

    static void skip(Frame& frame) { frame.inScope = frame.text = false; }

    // Text boxes and the like are written once per alternative; only the first counts.
    static void readFirstChoiceOnly(Frame& parent, Frame& frame)
    {
        if (parent.name != "mc:AlternateContent") return;
        if (frame.name == "mc:Choice" && !parent.choiceTaken) {
            parent.choiceTaken = true;
        } else {
            skip(frame);
        }
    }

    void startWord(const Frame& parent, Frame& frame)
    {
        if (!frame.inScope) return;
        if (frame.name == "w:t") {
            frame.text = true;
        } else if (parent.name == "w:r") {  // elsewhere, a w:tab defines a tab stop
            if (frame.name == "w:tab") emit("\t");
            if (frame.name == "w:br" || frame.name == "w:cr") emit("\n");
            if (frame.name == "w:noBreakHyphen") emit("-");
        }
    }

    static void startCells(const Frame& parent, Frame& frame, std::optional<std::string_view> type)
    {
        if (frame.name == "rPh") {  // a phonetic guide to the string, not the string
            skip(frame);
        } else if (frame.name == "si" || (frame.name == "is" && parent.name == "c")) {
            frame.inStringItem = true;
        } else if (frame.name == "t") {
            frame.text = frame.inScope && frame.inStringItem;
        } else if (frame.name == "c") {
            frame.sharedStringCell = type == "s";
        } else if (frame.name == "v" && parent.name == "c") {
            frame.text = frame.inScope && !parent.sharedStringCell;
        }
    }

    void startOpenDocument(const Frame& parent, Frame& frame, std::optional<std::string_view> attribute)
    {
        const bool visibleRegion = vocabulary_ == Vocabulary::OpenDocument
                                       ? frame.name == "office:body" || frame.name == "office:master-styles"
                                       : frame.name == "style:master-page";
        if (visibleRegion) frame.inScope = true;
        if (isOneOf(frame.name, kOpenDocumentSkipped)) skip(frame);
        frame.text = frame.inScope;
        if (!frame.inScope) return;
        if (frame.name == "text:p" || frame.name == "text:h") {
            frame.inParagraph = true;
        } else if (frame.name == "text:s") {
            for (int space = spaceCount(attribute); space > 0; --space) emit(" ");
        } else if (frame.name == "text:tab") {
            emit("\t");
        } else if (frame.name == "text:line-break") {
            emit("\n");
        } else if (frame.name == "table:table" && parent.name == "office:spreadsheet" && attribute) {
            // A sheet's name shows on its tab; a text's table names show nowhere.
            emit(*attribute);
            emit("\n");
        }
    }

    static int spaceCount(std::optional<std::string_view> attribute)
    {
        if (!attribute || attribute->empty()) return 1;
        int count = 0;
        for (const char c : *attribute) {
            if (c < '0' || c > '9') return 1;
            count = std::min(count * 10 + (c - '0'), kMaxSpaces);
        }
        return count;
    }

    void startXhtml(Frame& frame)
    {
        if (frame.name == "body") frame.inScope = true;
        if (isOneOf(frame.name, kHtmlHidden)) skip(frame);
        frame.text = frame.inScope;
        if (!frame.inScope) return;
        if (frame.name == "pre") frame.preformatted = true;
        if (frame.name == "br") {
            emit("\n");
        } else if (isOneOf(frame.name, kHtmlBlocks)) {
            startLine();
        }
    }

    void finish(const Frame& frame)
    {
        if (!frame.inScope) return;
        const std::string_view name = frame.name;
        switch (vocabulary_) {
        case Vocabulary::WordProcessing:
            if (name == "w:p") emit("\n");
            if (name == "w:tc") emit("\t");
            break;
        case Vocabulary::SharedStrings:
        case Vocabulary::Worksheet:
            if (name == "si" || name == "row") emit("\n");
            if (name == "c") emit("\t");
            break;
        case Vocabulary::Workbook:
            break;
        case Vocabulary::Presentation:
            if (name == "a:p") emit("\n");
            break;
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            if (name == "text:p" || name == "text:h" || name == "table:table-row") emit("\n");
            if (name == "table:table-cell") emit("\t");
            break;
        case Vocabulary::Xhtml:
            if (name == "td" || name == "th") {
                emit("\t");
            } else if (isOneOf(name, kHtmlBlocks)) {
                startLine();
            }
            break;
        }
    }

    // A block's edge: what follows starts a line, with no blank line piled on another.
    void startLine()
    {
        if (output_.last() != 0 && output_.last() != '\n') emit("\n");
        pendingSpace_ = false;
    }

    // Text the structure gives; it ends a run of white space.
    void emit(std::string_view text)
    {
        pendingSpace_ = false;
        heldSpace_.clear();
        output_.put(text);
    }

    Vocabulary vocabulary_;
    Output& output_;
    std::vector<Frame> stack_;  // the document's level first, then the open elements
    bool pendingSpace_ = false;
    std::string heldSpace_;
};

// A small tokenizer, lenient with what is malformed: text, tags, comments, instructions, CDATA sections and
// declarations, each read once, front to back.
class XmlReader {
public:
    XmlReader(Source& source, Vocabulary vocabulary, const TextSink& sink)
        : input_(source), output_(sink), visible_(vocabulary, output_)
    {
    }

    bool read()
    {
        try {
            while (!output_.stopped()) {
                const int byte = input_.get();
                if (byte == kEnd) break;
                if (byte == '<') {
                    visible_.markup();
                    readMarkup();
                } else if (byte == '&') {
                    readReference(reference_);
                    for (const char c : reference_) visible_.character(static_cast<std::uint8_t>(c));
                } else {
                    visible_.character(static_cast<std::uint8_t>(byte));
                }
            }
        } catch (const UnreadablePart&) {
            // What was read before still counts.
            if (output_.flush()) return true;
            throw;
        }
        return output_.flush();
    }

private:
    void readMarkup()
    {
        const int next = input_.peek();
        if (next == '/') {
            input_.get();
            readEndTag();
        } else if (next == '?') {
            input_.get();
            input_.skipPast("?>");
        } else if (next == '!') {
            input_.get();
            if (input_.accept("--")) {
                input_.skipPast("-->");
            } else if (input_.accept("[CDATA[")) {
                readCharacterData();
            } else {
                skipDeclaration();
            }
        } else if (beginsName(next)) {
            readStartTag();
        } else {
            visible_.character('<');
        }
    }

    void readStartTag()
    {
        name_.clear();
        readName(name_, "/>");
        visible_.normalize(name_);
        const std::string_view wanted = visible_.wantedAttribute(name_);
        bool found = false;
        while (true) {
            const int byte = input_.get();
            if (byte == kEnd) return;  // a tag cut short is no element
            if (byte == '>' || (byte == '/' && input_.peek() == '>')) {
                visible_.start(name_, found ? std::optional<std::string_view>(value_) : std::nullopt);
                if (byte == '/') {
                    input_.get();
                    visible_.end(name_);
                }
                return;
            }
            if (isSpace(byte) || byte == '/') continue;
            attributeName_.clear();
            keep(attributeName_, byte);
            readName(attributeName_, "=/>");
            input_.skipSpaces();
            if (!input_.accept("=")) continue;  // an attribute without a value
            input_.skipSpaces();
            const bool wantedHere = !found && !wanted.empty() && attributeName_ == wanted;
            readAttributeValue(wantedHere ? &value_ : nullptr);
            found = found || wantedHere;
        }
    }

    void readEndTag()
    {
        name_.clear();
        readName(name_, ">");
        if (!input_.skipPast(">")) return;
        visible_.normalize(name_);
        visible_.end(name_);
    }

    // Appends the name that follows to `into`, as far as white space or one of `stops`.
    void readName(std::string& into, std::string_view stops)
    {
        for (int byte = input_.peek();
             byte != kEnd && !isSpace(byte) && stops.find(static_cast<char>(byte)) == stops.npos;
             byte = input_.peek()) {
            keep(into, input_.get());
        }
    }

    // Reads a quoted value (or, leniently, an unquoted one) into `into`, decoded, or skips it.
    void readAttributeValue(std::string* into)
    {
        if (into) into->clear();
        const char quote = static_cast<char>(input_.peek());
        const bool quoted = quote == '"' || quote == '\'';
        if (quoted) input_.get();
        while (true) {
            const int byte = input_.peek();
            if (byte == kEnd || (quoted ? byte == quote : isSpace(byte) || byte == '>')) break;
            input_.get();
            if (!into) continue;
            if (byte == '&') {
                readReference(reference_);
                for (const char c : reference_) keep(*into, static_cast<unsigned char>(c));
            } else {
                keep(*into, isSpace(byte) ? ' ' : byte);
            }
        }
        if (quoted) input_.accept(std::string_view(&quote, 1));
        if (into) dropCutCharacter(*into);
    }

    // After '&': the character a reference stands for, or the reference as written when the program
    // expands no such entity (a lone '&' stays too).
    void readReference(std::string& into)
    {
        into.clear();
        if (input_.accept("#")) {
            appendUtf8(into, readCharacterReference());
            return;
        }
        into += '&';
        while (into.size() <= kMaxEntityName && isAsciiLetterOrDigit(input_.peek())) {
            into += static_cast<char>(input_.get());
        }
        if (into.size() == 1 || !input_.accept(";")) return;
        if (const char32_t character = visible_.entity(std::string_view(into).substr(1))) {
            into.clear();
            appendUtf8(into, character);
        } else {
            into += ';';
        }
    }

    // After "&#": an invalid reference, one out of range, or one to a character XML forbids is U+FFFD.
    char32_t readCharacterReference()
    {
        const bool hexadecimal = input_.accept("x") || input_.accept("X");
        char32_t value = 0;
        bool anyDigit = false;
        for (int digit = digitValue(input_.peek(), hexadecimal); digit >= 0;
             digit = digitValue(input_.peek(), hexadecimal)) {
            input_.get();
            anyDigit = true;
            value = std::min<char32_t>(value * (hexadecimal ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
        }
        const bool closed = input_.accept(";");
        return anyDigit && closed && isXmlCharacter(value) ? value : kReplacement;
    }

    // After "<![CDATA[": its content is text, as written.
    void readCharacterData()
    {
        std::size_t brackets = 0;  // ']' read and not yet passed on: they may begin the end "]]>"
        const auto passBrackets = [this](std::size_t count) {
            for (; count > 0; --count) visible_.character(']');
        };
        while (!output_.stopped()) {
            const int byte = input_.get();
            if (byte == kEnd) break;
            if (byte == ']') {
                ++brackets;
                continue;
            }
            if (byte == '>' && brackets >= 2) {
                passBrackets(brackets - 2);
                return;
            }
            passBrackets(brackets);
            brackets = 0;
            visible_.character(static_cast<std::uint8_t>(byte));
        }
        passBrackets(brackets);
    }

    // After "<!": a document type declaration with its internal subset, or any other declaration. Skipped
    // and never followed: what it declares is never read nor expanded.
    void skipDeclaration()
    {
        bool inSubset = false;
        for (int byte = input_.get(); byte != kEnd; byte = input_.get()) {
            if (byte == '"' || byte == '\'') {
                const char quote = static_cast<char>(byte);
                input_.skipPast(std::string_view(&quote, 1));
            } else if (byte == '[') {
                inSubset = true;
            } else if (byte == ']') {
                inSubset = false;
            } else if (byte == '>' && !inSubset) {
                return;
            } else if (byte == '<' && inSubset) {
                // A comment or an instruction may hold quotes and brackets of its own.
                if (input_.accept("!--")) {
                    input_.skipPast("-->");
                } else if (input_.accept("?")) {
                    input_.skipPast("?>");
                }
            }
        }
    }

    Input input_;
    Output output_;
    VisibleText visible_;
    std::string name_;           // of the tag being read
    std::string attributeName_;  // of the attribute being read
    std::string value_;          // of the tag's wanted attribute
    std::string reference_;      // what the last reference stands for
};

}  // namespace

bool readXmlText(Source& source, Vocabulary vocabulary, const TextSink& sink)
{
    return XmlReader(source, vocabulary, sink).read();
}

}  // namespace quorvin::readers
