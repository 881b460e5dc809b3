#include "readers/xml_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
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

// What a byte can end, as bits: the scans below stop at the first byte of any class they are given.
enum ByteClass : std::uint8_t {
    kSpace = 1,        // ' ' '\t' '\n' '\r' '\f'
    kReturn = 2,       // '\r', which the reader turns into '\n'
    kTextEnd = 4,      // '<' '&'
    kBracket = 8,      // ']', which may end a CDATA section
    kSlash = 16,       // '/'
    kClose = 32,       // '>'
    kEquals = 64,      // '='
    kLineStart = 128,  // 0 (no byte yet), '\n', '\t', ' ': in Xhtml, no collapsed space is written after them
    kNameEnd = kSpace | kSlash | kClose,
};

constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (const char space : {' ', '\t', '\n', '\r', '\f'}) classes[static_cast<unsigned char>(space)] |= kSpace;
    classes['\r'] |= kReturn;
    classes['<'] |= kTextEnd;
    classes['&'] |= kTextEnd;
    classes[']'] |= kBracket;
    classes['/'] |= kSlash;
    classes['>'] |= kClose;
    classes['='] |= kEquals;
    for (const char start : {'\0', '\n', '\t', ' '}) classes[static_cast<unsigned char>(start)] |= kLineStart;
    return classes;
}();

bool isSpace(int byte)
{
    return byte >= 0 && (kByteClasses[static_cast<std::size_t>(byte)] & kSpace) != 0;
}

// How many of `bytes` come before the first of a class in `stops`.
std::size_t countUntil(std::span<const std::uint8_t> bytes, std::uint8_t stops)
{
    std::size_t count = 0;
    while (count < bytes.size() && (kByteClasses[bytes[count]] & stops) == 0) ++count;
    return count;
}

// How many of `bytes` come before the first of no class in `classes`.
std::size_t countWhile(std::span<const std::uint8_t> bytes, std::uint8_t classes)
{
    std::size_t count = 0;
    while (count < bytes.size() && (kByteClasses[bytes[count]] & classes) != 0) ++count;
    return count;
}

// The first byte from `from` on of a class in `stops`, which must hold kSpace: the chunk is followed by a
// space, which ends the scan there without a bound to test at each byte.
const std::uint8_t* findInChunk(const std::uint8_t* from, std::uint8_t stops)
{
    while ((kByteClasses[*from] & stops) == 0) ++from;
    return from;
}

// The first byte in [from, end) of no class in `classes`, or `end`.
const std::uint8_t* skipIn(const std::uint8_t* from, const std::uint8_t* end, std::uint8_t classes)
{
    while (from != end && (kByteClasses[*from] & classes) != 0) ++from;
    return from;
}

// Text and quoted values are scanned eight bytes at a time: on a Word document, 6% fewer instructions in all
// than a byte at a time (its names, short, scan no faster so). Each function below gives the high bit of the
// bytes it marks and no other bit, with no carry from one byte to the next.
constexpr std::size_t kWord = sizeof(std::uint64_t);
constexpr std::uint64_t kEachByte = 0x0101010101010101;
constexpr std::uint64_t kLowBits = 0x7F * kEachByte;

// The bytes below `limit`, at most 0x80.
constexpr std::uint64_t below(std::uint64_t word, std::uint64_t limit)
{
    return ~(((word & kLowBits) + (0x80 - limit) * kEachByte) | word) & ~kLowBits;
}

constexpr std::uint64_t equal(std::uint64_t word, std::uint8_t byte)
{
    return below(word ^ (byte * kEachByte), 1);
}

// The first byte in [from, end) that `marks` marks, or `end`. It reads whole words, up to 7 bytes past `end`,
// which must be readable.
template <class Marks>
const std::uint8_t* findMarked(const std::uint8_t* from, const std::uint8_t* end, Marks marks)
{
    for (; from < end; from += kWord) {
        std::uint64_t word = 0;
        std::memcpy(&word, from, sizeof word);
        if (const std::uint64_t found = marks(word)) {
            const int bit =
                std::endian::native == std::endian::little ? std::countr_zero(found) : std::countl_zero(found);
            return std::min(from + bit / 8, end);
        }
    }
    return end;
}

// The first '<' or '&', or CR if `returns`.
const std::uint8_t* findTextEnd(const std::uint8_t* from, const std::uint8_t* end, bool returns)
{
    const std::uint64_t cr = returns ? ~std::uint64_t{0} : 0;
    return findMarked(
        from, end, [=](std::uint64_t word) { return equal(word, '<') | equal(word, '&') | (equal(word, '\r') & cr); });
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

// The elements the rules tell apart. Several names may play one part (td and th).
enum class Element : std::uint8_t {
    Other,
    AlternateContent,  // Office Open XML's markup compatibility
    Choice,
    WordText,  // WordprocessingML
    WordRun,
    WordTab,
    WordBreak,
    WordCarriageReturn,
    WordNoBreakHyphen,
    WordParagraph,
    WordTableCell,
    WordNote,
    WordComment,
    PhoneticRun,  // SpreadsheetML
    StringItem,
    InlineString,
    Cell,
    CellText,
    Value,
    Row,
    Sheet,
    Sheets,
    DrawingText,  // DrawingML, in presentations
    DrawingBreak,
    DrawingParagraph,
    Body,  // OpenDocument
    MasterStyles,
    MasterPage,
    Paragraph,
    Heading,
    Space,
    Tab,
    LineBreak,
    Table,
    Spreadsheet,
    TableRow,
    TableCell,
    CoveredTableCell,
    Note,
    Annotation,
    Header,
    Footer,
    DrawPage,
    PresentationNotes,
    HtmlBody,  // XHTML
    HtmlPre,
    HtmlBreak,
    HtmlCell,
};

enum Trait : std::uint8_t {
    kSkippedInOpenDocument = 1,  // its content is no visible text
    kHiddenInHtml = 2,
    kHtmlBlock = 4,  // starts and ends a line
};

struct KnownName {
    std::string_view name;
    Element element;
    std::uint8_t traits = 0;
};

// Every name a rule looks at, in any vocabulary; the rules ask only for their own. Index 0 is for the others.
constexpr std::array<KnownName, 100> kKnownNames = {{
    {"", Element::Other},
    {"mc:AlternateContent", Element::AlternateContent},
    {"mc:Choice", Element::Choice},
    {"w:t", Element::WordText},
    {"w:r", Element::WordRun},
    {"w:tab", Element::WordTab},
    {"w:br", Element::WordBreak},
    {"w:cr", Element::WordCarriageReturn},
    {"w:noBreakHyphen", Element::WordNoBreakHyphen},
    {"w:p", Element::WordParagraph},
    {"w:tc", Element::WordTableCell},
    {"w:footnote", Element::WordNote},
    {"w:endnote", Element::WordNote},
    {"w:comment", Element::WordComment},
    {"rPh", Element::PhoneticRun},  // a phonetic guide to the string, not the string
    {"si", Element::StringItem},
    {"is", Element::InlineString},
    {"c", Element::Cell},
    {"t", Element::CellText},
    {"v", Element::Value},
    {"row", Element::Row},
    {"sheet", Element::Sheet},
    {"sheets", Element::Sheets},
    {"a:t", Element::DrawingText},
    {"a:br", Element::DrawingBreak},
    {"a:p", Element::DrawingParagraph},
    {"office:body", Element::Body},
    {"office:master-styles", Element::MasterStyles},
    {"style:master-page", Element::MasterPage},
    {"text:p", Element::Paragraph},
    {"text:h", Element::Heading},
    {"text:s", Element::Space},
    {"text:tab", Element::Tab},
    {"text:line-break", Element::LineBreak},
    {"table:table", Element::Table},
    {"office:spreadsheet", Element::Spreadsheet},
    {"table:table-row", Element::TableRow},
    {"table:table-cell", Element::TableCell},
    {"table:covered-table-cell", Element::CoveredTableCell},
    {"text:note", Element::Note},
    {"office:annotation", Element::Annotation},
    {"style:header", Element::Header},
    {"style:header-left", Element::Header},
    {"style:header-first", Element::Header},
    {"style:footer", Element::Footer},
    {"style:footer-left", Element::Footer},
    {"style:footer-first", Element::Footer},
    {"draw:page", Element::DrawPage},
    {"presentation:notes", Element::PresentationNotes},
    {"text:tracked-changes", Element::Other, kSkippedInOpenDocument},  // the deleted revisions
    {"office:annotation-end", Element::Other, kSkippedInOpenDocument},
    {"svg:title", Element::Other, kSkippedInOpenDocument},
    {"svg:desc", Element::Other, kSkippedInOpenDocument},
    {"office:forms", Element::Other, kSkippedInOpenDocument},
    {"draw:image", Element::Other, kSkippedInOpenDocument},  // an object's replacement picture, a picture's text
    {"office:binary-data", Element::Other, kSkippedInOpenDocument},  // a flat file's embedded pictures, in base64
    {"dc:creator", Element::Other, kSkippedInOpenDocument},          // a comment's author and date
    {"dc:date", Element::Other, kSkippedInOpenDocument},
    {"body", Element::HtmlBody},
    {"head", Element::Other, kHiddenInHtml},
    {"script", Element::Other, kHiddenInHtml},
    {"style", Element::Other, kHiddenInHtml},
    {"template", Element::Other, kHiddenInHtml},
    {"br", Element::HtmlBreak},
    {"td", Element::HtmlCell},
    {"th", Element::HtmlCell},
    {"pre", Element::HtmlPre, kHtmlBlock},
    {"p", Element::Other, kHtmlBlock},
    {"div", Element::Other, kHtmlBlock},
    {"h1", Element::Other, kHtmlBlock},
    {"h2", Element::Other, kHtmlBlock},
    {"h3", Element::Other, kHtmlBlock},
    {"h4", Element::Other, kHtmlBlock},
    {"h5", Element::Other, kHtmlBlock},
    {"h6", Element::Other, kHtmlBlock},
    {"li", Element::Other, kHtmlBlock},
    {"dt", Element::Other, kHtmlBlock},
    {"dd", Element::Other, kHtmlBlock},
    {"blockquote", Element::Other, kHtmlBlock},
    {"tr", Element::Other, kHtmlBlock},
    {"section", Element::Other, kHtmlBlock},
    {"article", Element::Other, kHtmlBlock},
    {"aside", Element::Other, kHtmlBlock},
    {"header", Element::Other, kHtmlBlock},
    {"footer", Element::Other, kHtmlBlock},
    {"figcaption", Element::Other, kHtmlBlock},
    {"table", Element::Other, kHtmlBlock},
    {"ul", Element::Other, kHtmlBlock},
    {"ol", Element::Other, kHtmlBlock},
    {"dl", Element::Other, kHtmlBlock},
    {"nav", Element::Other, kHtmlBlock},
    {"figure", Element::Other, kHtmlBlock},
    {"main", Element::Other, kHtmlBlock},
    {"address", Element::Other, kHtmlBlock},
    {"hr", Element::Other, kHtmlBlock},
    {"caption", Element::Other, kHtmlBlock},
    {"details", Element::Other, kHtmlBlock},
    {"summary", Element::Other, kHtmlBlock},
    {"fieldset", Element::Other, kHtmlBlock},
    {"legend", Element::Other, kHtmlBlock},
}};

constexpr std::size_t kLongestKnownName = 24;  // table:covered-table-cell
constexpr std::size_t kNameWords = 3;          // of a name, compared whole: kLongestKnownName rounded up

// The bits of a word that hold its first `count` bytes in memory.
constexpr std::uint64_t firstBytes(std::size_t count)
{
    if (count >= kWord) return ~std::uint64_t{0};
    if (count == 0) return 0;
    return std::endian::native == std::endian::little ? (std::uint64_t{1} << 8 * count) - 1
                                                      : ~std::uint64_t{0} << (64 - 8 * count);
}

// A name's bytes from `at` as one word, as a load from memory would give them, zero-padded.
constexpr std::uint64_t wordOf(std::string_view name, std::size_t at)
{
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < kWord && at + i < name.size(); ++i) {
        const auto byte = static_cast<std::uint64_t>(static_cast<unsigned char>(name[at + i]));
        word |= std::endian::native == std::endian::little ? byte << 8 * i : byte << (56 - 8 * i);
    }
    return word;
}

// 256 slots for 99 names, probed in turn: with 85, finding one took 1.2 probes on average, telling a Word
// name that is none of them 1.8 (with 128 slots, 1.6 and 3.5).
constexpr std::size_t kNameSlots = 256;

constexpr std::size_t slotOf(std::uint64_t firstWord, std::size_t size)
{
    return static_cast<std::size_t>(((firstWord ^ size) * 0x9E3779B97F4A7C15) >> 56);
}

struct PaddedName {
    std::array<std::uint64_t, kNameWords> words{};
    std::size_t size = 0;
};

// The known names as words, so that a look-up compares three numbers rather than calls memcmp.
constexpr auto kPaddedNames = [] {
    std::array<PaddedName, kKnownNames.size()> padded{};
    for (std::size_t index = 0; index < kKnownNames.size(); ++index) {
        for (std::size_t word = 0; word < kNameWords; ++word) {
            padded[index].words[word] = wordOf(kKnownNames[index].name, word * kWord);
        }
        padded[index].size = kKnownNames[index].name.size();
    }
    return padded;
}();

// Where each known name sits, as its index; 0 in the empty slots.
constexpr std::array<std::uint8_t, kNameSlots> kNameTable = [] {
    std::array<std::uint8_t, kNameSlots> table{};
    for (std::size_t index = 1; index < kKnownNames.size(); ++index) {
        std::size_t slot = slotOf(kPaddedNames[index].words[0], kPaddedNames[index].size);
        while (table[slot] != 0) slot = (slot + 1) % kNameSlots;
        table[slot] = static_cast<std::uint8_t>(index);
    }
    return table;
}();

static_assert(
    [] {
        for (std::size_t a = 1; a < kKnownNames.size(); ++a) {
            if (kKnownNames[a].name.empty() || kKnownNames[a].name.size() > kLongestKnownName) return false;
            for (std::size_t b = 1; b < a; ++b) {
                if (kKnownNames[a].name == kKnownNames[b].name) return false;
            }
        }
        return true;
    }(),
    "each known name once, none longer than kLongestKnownName");

// The first kMaxKeptSize bytes of a name as read, the rest skipped. It is held as words, zero after its end
// as far as kNameWords, so that it is compared with a known name a word at a time; and it is written a word
// at a time, since words read right after narrower writes wait for the writes to land.
class KeptName {
public:
    void clear()
    {
        words_[0] = words_[1] = words_[2] = 0;
        size_ = 0;
    }

    // The whole name, from memory readable kNameWords words past `bytes`, whatever `count`.
    void assign(const std::uint8_t* bytes, std::size_t count)
    {
        size_ = std::min(count, kMaxKeptSize);
        words_[0] = load(bytes) & firstBytes(size_);
        words_[1] = load(bytes + kWord) & firstBytes(size_ > kWord ? size_ - kWord : 0);
        words_[2] = load(bytes + 2 * kWord) & firstBytes(size_ > 2 * kWord ? size_ - 2 * kWord : 0);
        if (size_ > kNameWords * kWord) {
            std::memcpy(data() + kNameWords * kWord, bytes + kNameWords * kWord, size_ - kNameWords * kWord);
        }
    }

    void append(std::span<const std::uint8_t> bytes)
    {
        const std::size_t count = std::min(bytes.size(), kMaxKeptSize - size_);
        std::memcpy(data() + size_, bytes.data(), count);
        size_ += count;
    }

    void toLower()
    {
        for (std::uint64_t& word : std::span(words_).first(kNameWords)) {
            const std::uint64_t capitals = below(word, 'Z' + 1) & ~below(word, 'A');
            word |= capitals >> 2;  // the high bit of each capital becomes its 0x20
        }
        for (std::size_t i = kNameWords * kWord; i < size_; ++i) {
            if (data()[i] >= 'A' && data()[i] <= 'Z') data()[i] = static_cast<char>(data()[i] - 'A' + 'a');
        }
    }

    void dropPrefix(std::size_t count)
    {
        std::memmove(data(), data() + count, size_ - count);
        std::fill_n(data() + size_ - count, count, '\0');
        size_ -= count;
    }

    std::string_view view() const { return {data(), size_}; }
    std::size_t size() const { return size_; }
    bool full() const { return size_ == kMaxKeptSize; }

    // Its first 8 bytes as one number, zero-padded: equal names have equal prefixes.
    std::uint64_t prefix() const { return words_[0]; }

    bool is(const PaddedName& name) const
    {
        return name.size == size_ && name.words[0] == words_[0] && name.words[1] == words_[1] &&
               name.words[2] == words_[2];
    }

    // The index of the name among the known names, 0 for any other.
    std::uint8_t known() const
    {
        if (size_ == 0 || size_ > kLongestKnownName) return 0;
        for (std::size_t slot = slotOf(words_[0], size_); kNameTable[slot] != 0; slot = (slot + 1) % kNameSlots) {
            if (is(kPaddedNames[kNameTable[slot]])) return kNameTable[slot];
        }
        return 0;
    }

private:
    static std::uint64_t load(const std::uint8_t* bytes)
    {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }

    char* data() { return reinterpret_cast<char*>(words_.data()); }
    const char* data() const { return reinterpret_cast<const char*>(words_.data()); }

    std::array<std::uint64_t, (kMaxKeptSize + kWord - 1) / kWord> words_{};
    std::size_t size_ = 0;
};

// The source's bytes, pulled in chunks, with line ends read as XML reads them: CR LF and a lone CR as LF.
// The scans work on the chunk's bytes in place; only get() folds line ends, and the scans stop at a CR
// wherever the fold could matter.
class Input {
public:
    // The slack after the chunk holds the space findInChunk() stops at, and lets findMarked() and
    // KeptName::assign() read whole words from anywhere in the chunk.
    explicit Input(Source& source) : source_(source), chunk_(kChunkSize + kNameWords * kWord) {}

    int peek()
    {
        if (next_ == end_ && !refill()) return kEnd;
        return *next_;
    }

    int get()
    {
        if (next_ == end_ && !refill()) return kEnd;
        const std::uint8_t byte = *next_++;
        if (byte != '\r') return byte;
        if (peek() == '\n') ++next_;
        return '\n';
    }

    // The bytes read and not yet consumed, pulling more first if there are none; empty at the end.
    std::span<const std::uint8_t> available()
    {
        if (next_ == end_) refill();
        return {next_, end_};
    }

    void consume(std::size_t count) { next_ += count; }

    // Consumes the bytes that follow, if they are `literal`; stops at the first that differs.
    bool accept(std::string_view literal)
    {
        for (const char c : literal) {
            if (peek() != static_cast<unsigned char>(c)) return false;
            get();
        }
        return true;
    }

    // Reads into `name` the bytes up to the first of a class in `stops`, which must include CR.
    void readName(std::uint8_t stops, KeptName& name)
    {
        const auto bytes = available();
        const std::size_t count = countUntil(bytes, stops);
        if (count < bytes.size()) {  // as nearly always, the name ends in this chunk
            name.assign(bytes.data(), count);
            next_ += count;
            return;
        }
        name.clear();
        skipUntil(stops, &name);
    }

    // Consumes bytes up to the first of a class in `stops`, or to the end; `kept`, if given, receives
    // their first kMaxKeptSize. A CR must be among the stops unless the bytes are only skipped.
    void skipUntil(std::uint8_t stops, KeptName* kept = nullptr)
    {
        for (auto bytes = available(); !bytes.empty(); bytes = available()) {
            const std::size_t count = countUntil(bytes, stops);
            if (kept && !kept->full()) kept->append(bytes.first(count));
            next_ += count;
            if (count < bytes.size()) return;
        }
    }

    // Folding CR LF changes nothing here: both are white space.
    void skipSpaces()
    {
        for (auto bytes = available(); !bytes.empty(); bytes = available()) {
            const std::size_t count = countWhile(bytes, kSpace);
            next_ += count;
            if (count < bytes.size()) return;
        }
    }

    // Consumes the input up to and including `byte`, or to its end.
    bool skipPast(std::uint8_t byte)
    {
        for (auto bytes = available(); !bytes.empty(); bytes = available()) {
            if (const void* found = std::memchr(bytes.data(), byte, bytes.size())) {
                next_ = static_cast<const std::uint8_t*>(found) + 1;
                return true;
            }
            next_ = end_;
        }
        return false;
    }

    // Consumes the input up to and including `terminator` (at most 3 bytes, none of them CR or LF, so
    // that folding line ends cannot make nor break one), or to its end.
    bool skipPast(std::string_view terminator)
    {
        const auto last = static_cast<unsigned char>(terminator.back());
        const std::size_t before = terminator.size() - 1;
        std::array<std::uint8_t, 2> recent{};  // the last bytes consumed by earlier chunks, the latest last
        for (auto bytes = available(); !bytes.empty(); bytes = available()) {
            for (std::size_t from = 0; from < bytes.size();) {
                const void* found = std::memchr(bytes.data() + from, last, bytes.size() - from);
                if (!found) break;
                const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - bytes.data());
                const auto byteBefore = [&](std::size_t distance) {
                    return distance <= at ? bytes[at - distance] : recent[2 - (distance - at)];
                };
                bool matches = true;
                for (std::size_t distance = 1; distance <= before && matches; ++distance) {
                    matches = byteBefore(distance) == static_cast<unsigned char>(terminator[before - distance]);
                }
                if (matches) {
                    next_ += at + 1;
                    return true;
                }
                from = at + 1;
            }
            recent = bytes.size() >= 2 ? std::array{bytes[bytes.size() - 2], bytes.back()}
                                       : std::array{recent[1], bytes.back()};
            next_ = end_;
        }
        return false;
    }

private:
    bool refill()
    {
        if (ended_) return false;
        const std::size_t size = source_.read(std::span(chunk_).first(kChunkSize));
        chunk_[size] = ' ';  // for findInChunk()
        next_ = chunk_.data();
        end_ = next_ + size;
        ended_ = size == 0;
        return !ended_;
    }

    Source& source_;
    std::vector<std::uint8_t> chunk_;
    const std::uint8_t* next_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    bool ended_ = false;
};

// At most this many bytes of a character may follow a piece's cut: a 4-byte UTF-8 character's tail.
constexpr std::size_t kMaxCharacterTail = 3;

// Gathers the text into pieces for the sink, and remembers that the sink had enough.
class Output {
public:
    explicit Output(const TextSink& sink) : sink_(sink), piece_(kPieceSize + kMaxCharacterTail) {}

    void put(std::uint8_t byte) { put(std::span(&byte, 1)); }

    void put(std::string_view bytes) { put({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}); }

    void put(std::span<const std::uint8_t> bytes)
    {
        if (!bytes.empty() && bytes.size() <= kPieceSize - std::min(size_, kPieceSize) && !stopped_) {
            std::memcpy(piece_.data() + size_, bytes.data(), bytes.size());
            size_ += bytes.size();
            last_ = bytes.back();
            return;
        }
        putAcrossPieces(bytes);
    }

    // Hands over what was gathered; true once the sink has stopped the reading.
    bool flush()
    {
        if (!stopped_ && size_ > 0) {
            stopped_ = sink_(std::span<const std::uint8_t>(piece_.data(), size_));
            handed_ += size_;
            size_ = 0;
        }
        return stopped_;
    }

    // The bytes of text so far, handed over or not.
    std::uint64_t offset() const { return handed_ + size_; }

    bool stopped() const { return stopped_; }
    std::uint8_t last() const { return last_; }  // 0 before the first byte

    // For text written in place: the rest of the piece, none once stopped; then how much was written.
    std::span<std::uint8_t> room()
    {
        if (stopped_ || size_ >= kPieceSize) return {};
        return std::span(piece_).subspan(size_, kPieceSize - size_);
    }

    void wrote(std::size_t count)
    {
        if (count == 0) return;
        size_ += count;
        last_ = piece_[size_ - 1];
    }

private:
    void putAcrossPieces(std::span<const std::uint8_t> bytes)
    {
        while (!stopped_ && !bytes.empty()) {
            if (size_ < kPieceSize) {
                const std::size_t count = std::min(bytes.size(), kPieceSize - size_);
                std::memcpy(piece_.data() + size_, bytes.data(), count);
                size_ += count;
                bytes = bytes.subspan(count);
            }
            // Cut only before a character's first byte, so that each piece is whole UTF-8 when the part is;
            // a longer run of continuation bytes is no UTF-8, and is cut anyway.
            while (!bytes.empty() && (bytes.front() & 0xC0) == 0x80 && size_ < piece_.size()) {
                piece_[size_++] = bytes.front();
                bytes = bytes.subspan(1);
            }
            last_ = piece_[size_ - 1];
            if (!bytes.empty()) flush();
        }
    }

    const TextSink& sink_;
    std::vector<std::uint8_t> piece_;
    std::uint64_t handed_ = 0;
    std::size_t size_ = 0;
    std::uint8_t last_ = 0;
    bool stopped_ = false;
};

// An open element, and what it makes of the text inside it.
struct Frame {
    std::uint64_t namePrefix = 0;  // for another than a known name, KeptName::prefix()
    std::uint32_t nameStart = 0;   // where the names' store keeps another name longer than 8 bytes
    std::uint16_t nameSize = 0;
    std::uint8_t known = 0;  // its index among the known names, 0 for another
    Element element = Element::Other;
    bool inScope = false;           // inside the part's visible region, and not in a skipped element
    bool text = false;              // its character data is visible text
    bool inParagraph = false;       // OpenDocument: inside text:p or text:h, where white space is content
    bool preformatted = false;      // Xhtml: inside pre
    bool inStringItem = false;      // SpreadsheetML: inside a shared string, or a cell's inline string
    bool sharedStringCell = false;  // a worksheet's cell whose value indexes the shared strings
    bool choiceTaken = false;       // mc:AlternateContent: its first mc:Choice has been read
};

// The open elements, the document's level first: at most kMaxElementDepth + 1, in place.
class FrameStack {
public:
    explicit FrameStack(const Frame& document) { frames_[0] = document; }

    std::size_t size() const { return size_; }
    Frame& operator[](std::size_t depth) { return frames_[depth]; }
    Frame& back() { return frames_[size_ - 1]; }
    const Frame& back() const { return frames_[size_ - 1]; }

    // A new element's frame, as the last one left it.
    Frame& push() { return frames_[size_++]; }

    void pop() { --size_; }

private:
    std::array<Frame, kMaxElementDepth + 1> frames_{};
    std::size_t size_ = 1;
};

// The vocabulary's rules: which elements hold text, which give separators, which are skipped.
class VisibleText {
public:
    VisibleText(Vocabulary vocabulary, Output& output, const MarkSink* marks)
        : vocabulary_(vocabulary), output_(output), marks_(marks),
          foldsNames_(vocabulary == Vocabulary::Xhtml || isSpreadsheet()),
          // All of an Office Open XML part may hold text; an OpenDocument or XHTML part, only its body.
          stack_(Frame{.inScope = isOfficeOpenXml()})
    {
        names_.reserve((kMaxElementDepth + 1) * kMaxKeptSize);
        for (std::size_t known = 1; known < kKnownNames.size(); ++known) {
            wantedAttributes_[known] = wantedAttribute(kKnownNames[known].element);
            if (marks_) markAttributes_[known] = markAttributeOf(kKnownNames[known].element);
        }
    }

    bool marks() const { return marks_ != nullptr; }

    // The attribute a mark of the element tells, if any: read, as the wanted one, into the value start() is
    // given next by markValue().
    std::string_view markAttribute(std::uint8_t known) const { return markAttributes_[known]; }
    void setMarkValue(const std::string* value) { markValue_ = value; }

    // XHTML's names are matched whatever their case; SpreadsheetML's also under the prefix x: that some
    // producers write.
    void normalize(KeptName& name) const
    {
        if (foldsNames_) fold(name);
    }

    // The one attribute of the element the rules need, if any.
    std::string_view wantedAttribute(std::uint8_t known) const { return wantedAttributes_[known]; }

    char32_t entity(std::string_view name) const { return namedEntity(name, vocabulary_ == Vocabulary::Xhtml); }

    // `known` is name.known(), `attribute` the value of wantedAttribute(), if the tag has it. (A pointer:
    // an optional passed on the stack was read back whole right after its flag was written, a stall that
    // took a tenth of the time on a Word document.)
    void start(const KeptName& name, std::uint8_t known, const std::string* attribute)
    {
        if (stack_.size() > kMaxElementDepth) {
            throw UnreadablePart(Fault::TooDeep,
                                 "XML elements nested more than " + std::to_string(kMaxElementDepth) + " deep");
        }
        // Built in place, a field at a time: a frame assembled aside and copied in, or the parent's copied
        // whole, was read in wide words right after its bytes were written, and waited for the writes to
        // land: 7% of the time on a Word document.
        Frame& frame = stack_.push();
        Frame& parent = stack_[stack_.size() - 2];
        frame.known = known;
        frame.element = kKnownNames[known].element;
        frame.inScope = parent.inScope;
        frame.text = parent.text;
        frame.inParagraph = parent.inParagraph;
        frame.preformatted = parent.preformatted;
        frame.inStringItem = parent.inStringItem;
        frame.sharedStringCell = false;
        frame.choiceTaken = false;
        if (known == 0) {
            frame.namePrefix = name.prefix();
            frame.nameSize = static_cast<std::uint16_t>(name.size());
            frame.nameStart = static_cast<std::uint32_t>(names_.size());
            if (name.size() > sizeof frame.namePrefix) names_.append(name.view());
        }
        if (isOfficeOpenXml()) readFirstChoiceOnly(parent, frame);
        switch (vocabulary_) {
        case Vocabulary::WordProcessing:
            startWord(parent, frame);
            break;
        case Vocabulary::SharedStrings:
        case Vocabulary::Worksheet:
        case Vocabulary::SharedStringCells:
            startCells(parent, frame, attribute);
            break;
        case Vocabulary::Workbook:
            if (frame.inScope && frame.element == Element::Sheet && parent.element == Element::Sheets && attribute) {
                emit(*attribute);
                emit("\n");
            }
            break;
        case Vocabulary::Presentation:
            if (frame.inScope && frame.element == Element::DrawingText) frame.text = true;
            if (frame.inScope && frame.element == Element::DrawingBreak) emit("\n");
            break;
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            startOpenDocument(parent, frame, attribute);
            break;
        case Vocabulary::Xhtml:
            startXhtml(frame);
            break;
        }
    }

    // An end tag; most close the innermost element, which is checked before looking the name up.
    void end(const KeptName& name)
    {
        const Frame& innermost = stack_.back();
        if (stack_.size() > 1 && (innermost.known != 0 ? name.is(kPaddedNames[innermost.known])
                                                       : names(innermost, name, 0, name.prefix()))) {
            endInnermost();
        } else {
            end(name, name.known());
        }
    }

    // The end of an empty element, just started.
    void endInnermost()
    {
        finish(stack_.back());
        if (stack_.back().known == 0) names_.resize(stack_.back().nameStart);
        stack_.pop();
    }

    // Leniently: an end tag also closes the elements left open inside it, and one that closes nothing is
    // ignored. `known` is name.known().
    void end(const KeptName& name, std::uint8_t known)
    {
        const std::uint64_t prefix = known == 0 ? name.prefix() : 0;
        for (std::size_t depth = stack_.size() - 1; depth > 0; --depth) {
            if (!names(stack_[depth], name, known, prefix)) continue;
            while (stack_.size() > depth) {
                finish(stack_.back());
                if (stack_.back().known == 0) names_.resize(stack_.back().nameStart);
                stack_.pop();
            }
            return;
        }
    }

    // Whether character data here is visible text at all.
    bool inText() const { return stack_.back().text; }

    // Whether a run of white space here is one space, whatever its line ends.
    bool collapsesSpace() const { return vocabulary_ == Vocabulary::Xhtml && !stack_.back().preformatted; }

    // Character data without markup nor references, and without CR unless collapsesSpace(): as character()
    // would make of each byte, a run at a time.
    void text(std::span<const std::uint8_t> bytes)
    {
        const Frame& frame = stack_.back();
        if (!frame.text) return;
        if (collapsesSpace()) {
            collapse(bytes);
        } else if (isOpenDocument() && !frame.inParagraph) {
            holdSpaces(bytes);
        } else {
            output_.put(bytes);
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
               vocabulary_ == Vocabulary::Workbook || vocabulary_ == Vocabulary::SharedStringCells;
    }

    bool isOpenDocument() const
    {
        return vocabulary_ == Vocabulary::OpenDocument || vocabulary_ == Vocabulary::OpenDocumentStyles;
    }

    static void skip(Frame& frame) { frame.inScope = frame.text = false; }

    void fold(KeptName& name) const
    {
        if (vocabulary_ == Vocabulary::Xhtml) {
            name.toLower();
        } else if (name.view().starts_with("x:")) {
            name.dropPrefix(2);
        }
    }

    std::string_view markAttributeOf(Element element) const
    {
        switch (vocabulary_) {
        case Vocabulary::WordProcessing:
            return element == Element::WordNote ? "w:type" : "";
        case Vocabulary::Worksheet:
        case Vocabulary::SharedStringCells:
            return element == Element::Cell ? "r" : "";
        case Vocabulary::OpenDocument:
            if (element == Element::TableRow) return "table:number-rows-repeated";
            if (element == Element::TableCell || element == Element::CoveredTableCell) {
                return "table:number-columns-repeated";
            }
            return "";
        default:
            return "";
        }
    }

    std::string_view wantedAttribute(Element element) const
    {
        switch (vocabulary_) {
        case Vocabulary::Worksheet:
        case Vocabulary::SharedStringCells:
            return element == Element::Cell ? "t" : "";
        case Vocabulary::Workbook:
            return element == Element::Sheet ? "name" : "";
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            return element == Element::Table ? "table:name" : element == Element::Space ? "text:c" : "";
        default:
            return "";
        }
    }

    // As character() makes of each byte in Xhtml outside pre, written straight into the piece: a book is
    // nearly all text, and with a call per word it read at half the speed.
    void collapse(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty() && !output_.stopped()) {
            const auto room = output_.room();
            if (room.size() < 2) {  // at a piece's end, where it may be cut
                character(bytes.front());
                bytes = bytes.subspan(1);
                continue;
            }
            // A byte gives at most two: the space pending before it, and itself.
            const auto part = bytes.first(std::min(bytes.size(), room.size() / 2));
            unsigned pending = pendingSpace_ ? 1 : 0;
            unsigned spaceMayFollow = (kByteClasses[output_.last()] & kLineStart) == 0 ? 1 : 0;
            std::size_t written = 0;
            // In arithmetic, without a branch on white space, which has no pattern to predict: with one, a book
            // read 30% slower. Of what this writes, only a NUL is a kLineStart.
            static_assert(kSpace == 1);
            for (const std::uint8_t byte : part) {
                const unsigned space = kByteClasses[byte] & kSpace;
                const unsigned other = space ^ 1;
                room[written] = ' ';
                written += pending & other & spaceMayFollow;
                room[written] = byte;
                written += other;
                spaceMayFollow = (spaceMayFollow & space) | (other & (byte != 0 ? 1 : 0));
                pending = space;
            }
            pendingSpace_ = pending != 0;
            output_.wrote(written);
            bytes = bytes.subspan(part.size());
        }
    }

    // As character() makes of each byte in OpenDocument outside paragraphs, without CR.
    void holdSpaces(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty()) {
            if (const std::size_t spaces = countWhile(bytes, kSpace)) {
                const std::size_t kept = std::min(spaces, kMaxKeptSize - std::min(heldSpace_.size(), kMaxKeptSize));
                heldSpace_.append(reinterpret_cast<const char*>(bytes.data()), kept);
                bytes = bytes.subspan(spaces);
                continue;
            }
            const std::size_t word = countUntil(bytes, kSpace);
            character(bytes.front());  // puts the spaces held before the word
            output_.put(bytes.subspan(1, word - 1));
            bytes = bytes.subspan(word);
        }
    }

    // Whether `frame` is an element named `name`.
    bool names(const Frame& frame, const KeptName& name, std::uint8_t known, std::uint64_t prefix) const
    {
        if (known != 0 || frame.known != 0) return frame.known == known;
        return frame.nameSize == name.size() && frame.namePrefix == prefix &&
               (name.size() <= sizeof prefix ||
                std::string_view(names_).substr(frame.nameStart, frame.nameSize) == name.view());
    }

    // Text boxes and the like are written once per alternative; only the first counts.
    static void readFirstChoiceOnly(Frame& parent, Frame& frame)
    {
        if (parent.element != Element::AlternateContent) return;
        if (frame.element == Element::Choice && !parent.choiceTaken) {
            parent.choiceTaken = true;
        } else {
            skip(frame);
        }
    }

    void startWord(const Frame& parent, Frame& frame)
    {
        if (!frame.inScope) return;
        if (marks_) {
            if (frame.element == Element::WordParagraph) mark(Mark::Paragraph);
            if (frame.element == Element::WordNote) mark(Mark::Note, markValue_ ? *markValue_ : "");
            if (frame.element == Element::WordComment) mark(Mark::Comment);
        }
        if (frame.element == Element::WordText) {
            frame.text = true;
        } else if (parent.element == Element::WordRun) {  // elsewhere, a w:tab defines a tab stop
            if (frame.element == Element::WordTab) emit("\t");
            if (frame.element == Element::WordBreak || frame.element == Element::WordCarriageReturn) emit("\n");
            if (frame.element == Element::WordNoBreakHyphen) emit("-");
        }
    }

    void startCells(const Frame& parent, Frame& frame, const std::string* type)
    {
        const bool indices = vocabulary_ == Vocabulary::SharedStringCells;
        if (marks_ && frame.inScope) {
            if (frame.element == Element::StringItem) mark(Mark::StringItem);
            if (frame.element == Element::Cell && (!indices || (type && *type == "s"))) {
                mark(Mark::Cell, markValue_ ? *markValue_ : "");
            }
        }
        if (indices) {
            if (frame.element == Element::Cell) frame.sharedStringCell = type && *type == "s";
            frame.text = frame.inScope && frame.element == Element::Value && parent.sharedStringCell;
            return;
        }
        if (frame.element == Element::PhoneticRun) {
            skip(frame);
        } else if (frame.element == Element::StringItem ||
                   (frame.element == Element::InlineString && parent.element == Element::Cell)) {
            frame.inStringItem = true;
        } else if (frame.element == Element::CellText) {
            frame.text = frame.inScope && frame.inStringItem;
        } else if (frame.element == Element::Cell) {
            frame.sharedStringCell = type && *type == "s";
        } else if (frame.element == Element::Value && parent.element == Element::Cell) {
            frame.text = frame.inScope && !parent.sharedStringCell;
        }
    }

    void startOpenDocument(const Frame& parent, Frame& frame, const std::string* attribute)
    {
        const bool visibleRegion = vocabulary_ == Vocabulary::OpenDocument
                                       ? frame.element == Element::Body || frame.element == Element::MasterStyles
                                       : frame.element == Element::MasterPage;
        if (visibleRegion) frame.inScope = true;
        if (kKnownNames[frame.known].traits & kSkippedInOpenDocument) skip(frame);
        frame.text = frame.inScope;
        if (!frame.inScope) return;
        if (marks_) markOpenDocument(parent, frame, attribute);
        switch (frame.element) {
        case Element::Paragraph:
        case Element::Heading:
            frame.inParagraph = true;
            break;
        case Element::Space:
            for (int space = spaceCount(attribute); space > 0; --space) emit(" ");
            break;
        case Element::Tab:
            emit("\t");
            break;
        case Element::LineBreak:
            emit("\n");
            break;
        case Element::Table:
            // A sheet's name shows on its tab; a text's table names show nowhere.
            if (parent.element == Element::Spreadsheet && attribute) {
                emit(*attribute);
                emit("\n");
            }
            break;
        default:
            break;
        }
    }

    void markOpenDocument(const Frame& parent, const Frame& frame, const std::string* attribute)
    {
        const std::string_view value = markValue_ ? std::string_view(*markValue_) : std::string_view();
        switch (frame.element) {
        case Element::Paragraph:
        case Element::Heading:
            mark(Mark::Paragraph);
            break;
        case Element::Note:
            mark(Mark::Note);
            break;
        case Element::Annotation:
            mark(Mark::Comment);
            break;
        case Element::Header:
            mark(Mark::Header);
            break;
        case Element::Footer:
            mark(Mark::Footer);
            break;
        case Element::DrawPage:
            mark(Mark::Slide);
            break;
        case Element::PresentationNotes:
            mark(Mark::SlideNotes);
            break;
        case Element::Table:
            if (parent.element == Element::Spreadsheet) mark(Mark::Sheet, attribute ? *attribute : "");
            break;
        case Element::TableRow:
            mark(Mark::Row, value);
            break;
        case Element::TableCell:
        case Element::CoveredTableCell:
            mark(Mark::Cell, value);
            break;
        default:
            break;
        }
    }

    // The parts whose end a mark tells.
    static bool endsWithAMark(Element element)
    {
        return element == Element::Note || element == Element::Annotation || element == Element::Header ||
               element == Element::Footer || element == Element::PresentationNotes;
    }

    void mark(Mark what, std::string_view value = {}) { (*marks_)(output_.offset(), what, value); }

    static int spaceCount(const std::string* attribute)
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
        const std::uint8_t traits = kKnownNames[frame.known].traits;
        if (frame.element == Element::HtmlBody) frame.inScope = true;
        if (traits & kHiddenInHtml) skip(frame);
        frame.text = frame.inScope;
        if (!frame.inScope) return;
        if (frame.element == Element::HtmlPre) frame.preformatted = true;
        if (frame.element == Element::HtmlBreak) {
            emit("\n");
        } else if (traits & kHtmlBlock) {
            startLine();
        }
    }

    void finish(const Frame& frame)
    {
        if (!frame.inScope) return;
        const Element element = frame.element;
        if (marks_ && isOpenDocument() && endsWithAMark(element)) mark(Mark::End);
        switch (vocabulary_) {
        case Vocabulary::WordProcessing:
            if (element == Element::WordParagraph) emit("\n");
            if (element == Element::WordTableCell) emit("\t");
            break;
        case Vocabulary::SharedStrings:
        case Vocabulary::Worksheet:
            if (element == Element::StringItem || element == Element::Row) emit("\n");
            if (element == Element::Cell) emit("\t");
            break;
        case Vocabulary::SharedStringCells:
            if (frame.sharedStringCell) emit("\n");
            break;
        case Vocabulary::Workbook:
            break;
        case Vocabulary::Presentation:
            if (element == Element::DrawingParagraph) emit("\n");
            break;
        case Vocabulary::OpenDocument:
        case Vocabulary::OpenDocumentStyles:
            if (element == Element::Paragraph || element == Element::Heading || element == Element::TableRow) {
                emit("\n");
            }
            if (element == Element::TableCell) emit("\t");
            break;
        case Vocabulary::Xhtml:
            if (element == Element::HtmlCell) {
                emit("\t");
            } else if (kKnownNames[frame.known].traits & kHtmlBlock) {
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
    const MarkSink* marks_;
    const std::string* markValue_ = nullptr;  // the value of the tag's mark attribute, if it has it
    std::array<std::string_view, kKnownNames.size()> markAttributes_{};    // by known name, where marks are told
    bool foldsNames_;                                                      // whether normalize() has anything to do
    std::array<std::string_view, kKnownNames.size()> wantedAttributes_{};  // by known name
    FrameStack stack_;
    std::string names_;  // the open elements' names that are not known, one after the other
    bool pendingSpace_ = false;
    std::string heldSpace_;
};

// A small tokenizer, lenient with what is malformed: text, tags, comments, instructions, CDATA sections and
// declarations, each read once, front to back. Text and the markup around it are scanned a run at a time;
// the rarer constructs byte by byte.
class XmlReader {
public:
    XmlReader(Source& source, Vocabulary vocabulary, const TextSink& sink, const MarkSink* marks)
        : input_(source), output_(sink), visible_(vocabulary, output_, marks)
    {
        value_.reserve(kMaxKeptSize + kMaxCharacterTail);
    }

    bool read()
    {
        try {
            while (!output_.stopped() && readText()) {
                visible_.markup();
                readMarkup();
            }
        } catch (const UnreadablePart&) {
            // What was read before still counts.
            if (output_.flush()) return true;
            throw;
        }
        return output_.flush();
    }

private:
    // Reads character data up to a '<', which it consumes; false at the end of the input.
    bool readText()
    {
        while (!output_.stopped()) {
            const auto bytes = input_.available();
            if (bytes.empty()) return false;
            if (!visible_.inText()) {
                // Nothing here is seen: a reference expands to no '<', so the next one ends it.
                const void* open = bytes.front() == '<' ? bytes.data() : std::memchr(bytes.data(), '<', bytes.size());
                if (!open) {
                    input_.consume(bytes.size());
                    continue;
                }
                input_.consume(static_cast<std::size_t>(static_cast<const std::uint8_t*>(open) - bytes.data()) + 1);
                return true;
            }
            const auto count = static_cast<std::size_t>(
                findTextEnd(bytes.data(), bytes.data() + bytes.size(), !visible_.collapsesSpace()) - bytes.data());
            visible_.text(bytes.first(count));
            input_.consume(count);
            if (count == bytes.size()) continue;
            const std::uint8_t byte = bytes[count];
            input_.consume(1);
            if (byte == '<') return true;
            if (byte == '&') {
                readReference(reference_);
                for (const char c : reference_) visible_.character(static_cast<std::uint8_t>(c));
            } else {
                // A CR, and the LF after it if any: what follows is read before the line end counts, as
                // get() does, so that a source failing there leaves it out.
                if (input_.peek() == '\n') input_.consume(1);
                visible_.character('\n');
            }
        }
        return false;
    }

    void readMarkup()
    {
        const int next = input_.peek();
        if (next == '/') {
            input_.get();
            if (!readEndTagInChunk()) readEndTag();
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
            if (!readStartTagInChunk()) readStartTag();
        } else {
            visible_.character('<');
        }
    }

    // Nearly every tag lies whole in the chunk, and has no attribute to decode: read with pointers rather
    // than byte by byte, a Word document takes a tenth fewer instructions. Both consume nothing, and are
    // false, for any other tag.
    bool readStartTagInChunk()
    {
        const auto bytes = input_.available();
        const std::uint8_t* const end = bytes.data() + bytes.size();
        const std::uint8_t* at = findInChunk(bytes.data(), kNameEnd);
        if (at == end) return false;
        name_.assign(bytes.data(), static_cast<std::size_t>(at - bytes.data()));
        visible_.normalize(name_);
        const std::uint8_t known = name_.known();
        const std::string_view wanted = visible_.wantedAttribute(known);
        if (visible_.marks() && !visible_.markAttribute(known).empty()) return false;
        while (at != end) {
            const std::uint8_t byte = *at++;
            if (byte == '>' || (byte == '/' && at != end && *at == '>')) {
                input_.consume(static_cast<std::size_t>(at - bytes.data()) + (byte == '/' ? 1 : 0));
                visible_.start(name_, known, nullptr);
                if (byte == '/') visible_.endInnermost();
                return true;
            }
            if (kByteClasses[byte] & (kSpace | kSlash)) continue;
            const auto* attributeName = reinterpret_cast<const char*>(at - 1);
            at = findInChunk(at, kNameEnd | kEquals);
            if (!wanted.empty() && std::string_view(attributeName, reinterpret_cast<const char*>(at)) == wanted) {
                return false;
            }
            at = skipIn(at, end, kSpace);
            if (at == end || *at != '=') continue;
            at = skipIn(at + 1, end, kSpace);
            if (at == end) return false;
            if (*at == '"' || *at == '\'') {
                const std::uint8_t quote = *at;
                at = findMarked(at + 1, end, [quote](std::uint64_t word) { return equal(word, quote); });
                if (at == end) return false;
                ++at;
            } else {
                at = findInChunk(at, kSpace | kClose);
            }
        }
        return false;
    }

    bool readEndTagInChunk()
    {
        const auto bytes = input_.available();
        const std::uint8_t* const end = bytes.data() + bytes.size();
        const std::uint8_t* const nameEnd = findInChunk(bytes.data(), kSpace | kClose);
        const void* close = nameEnd != end && *nameEnd == '>'
                                ? nameEnd
                                : std::memchr(nameEnd, '>', static_cast<std::size_t>(end - nameEnd));
        if (!close) return false;
        name_.assign(bytes.data(), static_cast<std::size_t>(nameEnd - bytes.data()));
        input_.consume(static_cast<std::size_t>(static_cast<const std::uint8_t*>(close) - bytes.data()) + 1);
        visible_.normalize(name_);
        visible_.end(name_);
        return true;
    }

    void readStartTag()
    {
        input_.readName(kNameEnd, name_);
        visible_.normalize(name_);
        const std::uint8_t known = name_.known();
        const std::string_view wanted = visible_.wantedAttribute(known);
        const std::string_view marked = visible_.marks() ? visible_.markAttribute(known) : std::string_view();
        bool found = false;
        bool markFound = false;
        while (true) {
            const int byte = input_.get();
            if (byte == kEnd) return;  // a tag cut short is no element
            if (byte == '>' || (byte == '/' && input_.peek() == '>')) {
                if (visible_.marks()) visible_.setMarkValue(markFound ? &markValue_ : nullptr);
                visible_.start(name_, known, found ? &value_ : nullptr);
                if (byte == '/') {
                    input_.get();
                    visible_.endInnermost();
                }
                return;
            }
            if (isSpace(byte) || byte == '/') continue;
            // An attribute; its name matters only while the wanted one is still to be found.
            const bool named = (!found && !wanted.empty()) || (!markFound && !marked.empty());
            attributeName_.clear();
            if (named) {
                const auto first = static_cast<std::uint8_t>(byte);
                attributeName_.append(std::span(&first, 1));
            }
            input_.skipUntil(kNameEnd | kEquals, named ? &attributeName_ : nullptr);
            input_.skipSpaces();
            if (!input_.accept("=")) continue;  // an attribute without a value
            input_.skipSpaces();
            if (named && !found && attributeName_.view() == wanted) {
                readAttributeValue(value_);
                found = true;
            } else if (named && !markFound && attributeName_.view() == marked) {
                readAttributeValue(markValue_);
                markFound = true;
            } else {
                skipAttributeValue();
            }
        }
    }

    void readEndTag()
    {
        input_.readName(kSpace | kClose, name_);
        if (!input_.skipPast('>')) return;
        visible_.normalize(name_);
        visible_.end(name_);
    }

    // A quoted value (or, leniently, an unquoted one), unread.
    void skipAttributeValue()
    {
        const int quote = input_.peek();
        if (quote == '"' || quote == '\'') {
            input_.get();
            input_.skipPast(static_cast<std::uint8_t>(quote));
        } else {
            input_.skipUntil(kSpace | kClose);
        }
    }

    // Reads a quoted value (or, leniently, an unquoted one) into `into`, decoded.
    void readAttributeValue(std::string& into)
    {
        into.clear();
        const char quote = static_cast<char>(input_.peek());
        const bool quoted = quote == '"' || quote == '\'';
        if (quoted) input_.get();
        while (true) {
            const int byte = input_.peek();
            if (byte == kEnd || (quoted ? byte == quote : isSpace(byte) || byte == '>')) break;
            input_.get();
            if (byte == '&') {
                readReference(reference_);
                for (const char c : reference_) keep(into, static_cast<unsigned char>(c));
            } else {
                keep(into, isSpace(byte) ? ' ' : byte);
            }
        }
        if (quoted) input_.accept(std::string_view(&quote, 1));
        dropCutCharacter(into);
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
        if (!visible_.inText()) {
            input_.skipPast("]]>");
            return;
        }
        std::size_t brackets = 0;  // ']' read and not yet passed on: they may begin the end "]]>"
        const auto passBrackets = [this](std::size_t count) {
            for (; count > 0; --count) visible_.character(']');
        };
        while (!output_.stopped()) {
            const auto bytes = input_.available();
            if (bytes.empty()) break;
            if (bytes.front() == ']') {
                ++brackets;
                input_.consume(1);
                continue;
            }
            if (bytes.front() == '>' && brackets >= 2) {
                input_.consume(1);
                passBrackets(brackets - 2);
                return;
            }
            if (bytes.front() == '\r') {
                // A CR, and the LF after it if any, read whole before the brackets count, as a source failing
                // after it leaves them out.
                const auto lineEnd = static_cast<std::uint8_t>(input_.get());
                passBrackets(std::exchange(brackets, 0));
                visible_.character(lineEnd);
                continue;
            }
            passBrackets(std::exchange(brackets, 0));
            const std::size_t count = countUntil(bytes, kBracket | kReturn);  // at least one: the first is no stop
            visible_.text(bytes.first(count));
            input_.consume(count);
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
                input_.skipPast(static_cast<std::uint8_t>(byte));
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
    KeptName name_;           // of the tag being read
    KeptName attributeName_;  // of the attribute being read
    std::string value_;       // of the tag's wanted attribute
    std::string markValue_;   // of its mark attribute, where marks are told
    std::string reference_;   // what the last reference stands for
};

}  // namespace

bool readXmlText(Source& source, Vocabulary vocabulary, const TextSink& sink, const MarkSink* marks)
{
    return XmlReader(source, vocabulary, sink, marks).read();
}

}  // namespace quorvin::readers
