#include "readers/content_search.h"

#include <algorithm>
#include <array>
#include <optional>

#include "readers/inflate.h"
#include "readers/read_ahead.h"
#include "readers/tar.h"
#include "readers/xml_text.h"
#include "readers/zip.h"
#include "scanner/block_scanner.h"
#include "scanner/unicode_form.h"

namespace quorvin::readers {

namespace {

// What the search reads at a time: the program's own block.
constexpr std::size_t kBlock = 32000;

struct Found {};
struct Stopped {};

enum class Kind { Bytes, Gzip, Tar, Zip, FlatOpenDocument };

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix)
{
    return bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// Whether `bytes` hold the start tag `<name` (its attributes may follow, on the next line as well).
bool holdsStartTag(std::span<const std::uint8_t> bytes, std::string_view name)
{
    const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::size_t at = view.find(name); at != std::string_view::npos; at = view.find(name, at + 1)) {
        const std::size_t after = at + name.size();
        if (after < view.size() && std::string_view(" \t\r\n>").find(view[after]) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

// What a part's first bytes make it; a ZIP is told by its first local header here, by its directory where
// the whole part can be read from anywhere.
Kind kindOf(std::span<const std::uint8_t> first)
{
    if (first.size() >= 3 && first[0] == 0x1f && first[1] == 0x8b && first[2] == 8) {
        return Kind::Gzip;
    }
    if (looksLikeTar(first)) {
        return Kind::Tar;
    }
    if (startsWith(first, "PK\x03\x04") || startsWith(first, "PK\x05\x06")) {
        return Kind::Zip;
    }
    // A flat OpenDocument file is one XML document whose root is office:document.
    if (holdsStartTag(first.first(std::min(first.size(), kSniffedBytes)), "<office:document")) {
        return Kind::FlatOpenDocument;
    }
    return Kind::Bytes;
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

std::u16string joined(std::u16string_view path, std::string_view member)
{
    std::u16string name = fromUtf8(member);
    return path.empty() ? name : std::u16string(path) + u'/' + name;
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The parts of a document that hold what its reader sees, pass by pass in reading order.
enum class Document { None, Word, Excel, PowerPoint, OpenDocument, Epub };

std::optional<Vocabulary> vocabularyOf(Document document, std::string_view name, int pass)
{
    const auto numbered = [&](std::string_view folder, std::string_view stem) {
        return name.starts_with(folder) && name.substr(folder.size()).starts_with(stem) && endsWith(name, ".xml") &&
               name.find('/', folder.size()) == std::string_view::npos;
    };
    switch (document) {
    case Document::Word:
        if (pass == 0 && name == "word/document.xml") {
            return Vocabulary::WordProcessing;
        }
        if (pass == 1 && (numbered("word/", "header") || numbered("word/", "footer") || name == "word/footnotes.xml" ||
                          name == "word/endnotes.xml" || numbered("word/", "comments"))) {
            return Vocabulary::WordProcessing;
        }
        break;
    case Document::Excel:
        if (pass == 0 && name == "xl/workbook.xml") {
            return Vocabulary::Workbook;
        }
        if (pass == 1 && name == "xl/sharedStrings.xml") {
            return Vocabulary::SharedStrings;
        }
        if (pass == 2 && numbered("xl/worksheets/", "sheet")) {
            return Vocabulary::Worksheet;
        }
        break;
    case Document::PowerPoint:
        if ((pass == 0 && numbered("ppt/slides/", "slide")) ||
            (pass == 1 && numbered("ppt/notesSlides/", "notesSlide"))) {
            return Vocabulary::Presentation;
        }
        break;
    case Document::OpenDocument:
        if (pass == 0 && name == "content.xml") {
            return Vocabulary::OpenDocument;
        }
        if (pass == 1 && name == "styles.xml") {
            return Vocabulary::OpenDocumentStyles;
        }
        break;
    case Document::Epub:
        if (pass == 0 && (endsWith(name, ".xhtml") || endsWith(name, ".html") || endsWith(name, ".htm"))) {
            return Vocabulary::Xhtml;
        }
        break;
    case Document::None:
        break;
    }
    return std::nullopt;
}

// The first bytes of `source` and then the rest of it.
class PrefixedSource final : public Source {
public:
    PrefixedSource(std::span<const std::uint8_t> first, Source& rest) : first_(first), rest_(rest) {}
    std::size_t read(std::span<std::uint8_t> into) override
    {
        if (first_.empty()) {
            return rest_.read(into);
        }
        const std::size_t count = std::min(into.size(), first_.size());
        std::copy_n(first_.begin(), count, into.begin());
        first_ = first_.subspan(count);
        // Filled up from the rest: fewer bytes than asked mean the end.
        return count + (count < into.size() ? rest_.read(into.subspan(count)) : 0);
    }

private:
    std::span<const std::uint8_t> first_;
    Source& rest_;
};

// A whole whose every read first asks whether to go on.
class WatchedAccess final : public RandomAccess {
public:
    WatchedAccess(RandomAccess& whole, const std::function<bool()>& keepGoing) : whole_(whole), keepGoing_(keepGoing) {}
    std::uint64_t size() override { return whole_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        if (keepGoing_ && !keepGoing_()) {
            throw Stopped{};
        }
        return whole_.readAt(offset, into);
    }

private:
    RandomAccess& whole_;
    const std::function<bool()>& keepGoing_;
};

}  // namespace

bool mayHoldParts(std::span<const std::uint8_t> first)
{
    // A self-extracting archive is a Windows program with a ZIP directory at its end.
    return kindOf(first) != Kind::Bytes || startsWith(first, "MZ");
}

struct ContentSearch::Parts {
    Parts(ContentSearch& owner, std::u16string_view text, const CodePage& codePage, std::function<bool()> keepGoing)
        : owner(owner), text(text), codePage(codePage), keepGoing(std::move(keepGoing))
    {
    }

    // Each level searches one part at a time, while the levels above it are still in theirs: one scanner
    // of each kind a level, started over for each part.
    BlockScanner& bytesScanner(int depth)
    {
        auto& scanner = bytes[static_cast<std::size_t>(depth)];
        if (!scanner) {
            scanner = std::make_unique<BlockScanner>(text, codePage);
        }
        scanner->restart();
        return *scanner;
    }
    BlockScanner& textScanner(int depth)
    {
        auto& scanner = texts[static_cast<std::size_t>(depth)];
        if (!scanner) {
            scanner = std::make_unique<BlockScanner>(text, BlockScanner::Utf8Only{});
        }
        scanner->restart();
        return *scanner;
    }

    void feed(BlockScanner& scanner, std::span<const std::uint8_t> data)
    {
        if (scanner.feed(data)) {
            throw Found{};
        }
        if (keepGoing && !keepGoing()) {
            throw Stopped{};
        }
    }

    // `path` empty: the file itself.
    void note(std::u16string_view path, Fault fault)
    {
        ++owner.unreadCount_;
        if (owner.unread_.size() < kNamedUnread) {
            owner.unread_.push_back({std::u16string(path.empty() ? fileName : path), fault});
        }
    }

    // Reads `source` to its end, for whoever searches its bytes as they pass.
    static void drain(Source& source)
    {
        std::vector<std::uint8_t> block(kBlock);
        while (source.read(block) > 0) {
        }
    }

    // Searches one part as a file of its own: its bytes through a scanner of their own unless they were
    // searched already, and what they hold.
    void searchPart(Source& source, std::u16string_view path, int depth, bool bytesSearched)
    {
        std::vector<std::uint8_t> first(kBlock);
        first.resize(source.read(first));
        Kind kind = kindOf(first);
        if (kind != Kind::Bytes && depth >= kDeepest) {
            note(path, Fault::TooDeep);
            kind = Kind::Bytes;
        }
        BlockScanner* scanner = bytesSearched ? nullptr : &bytesScanner(depth);
        PrefixedSource whole(first, source);
        // The bytes are searched as they pass, whoever reads them.
        class Searched final : public Source {
        public:
            Searched(Parts& parts, Source& inner, BlockScanner* scanner)
                : parts_(parts), inner_(inner), scanner_(scanner)
            {
            }
            std::size_t read(std::span<std::uint8_t> into) override
            {
                const std::size_t got = inner_.read(into);
                if (scanner_ != nullptr) {
                    parts_.feed(*scanner_, into.first(got));
                }
                return got;
            }

        private:
            Parts& parts_;
            Source& inner_;
            BlockScanner* scanner_;
        } searched(*this, whole, scanner);

        try {
            switch (kind) {
            case Kind::Bytes:
                break;
            case Kind::Gzip: {
                InflateSource inflated(searched, InflateSource::Format::Gzip);
                // A large gzip file is inflated beside the search of what it holds; inside an archive,
                // where its size is not known, it is inflated as it is read.
                if (depth == 0 && fileSize >= ReadAheadSource::kWorthIt) {
                    ReadAheadSource ahead(inflated);
                    searchPart(ahead, path, depth + 1, false);
                } else {
                    searchPart(inflated, path, depth + 1, false);
                }
                break;
            }
            case Kind::Tar: {
                TarReader tar(searched);
                while (const std::optional<std::string> member = tar.next()) {
                    searchPart(tar.content(), joined(path, *member), depth + 1, false);
                }
                break;
            }
            case Kind::Zip:
                searchHeldArchive(searched, path, depth);
                break;
            case Kind::FlatOpenDocument:
                searchText(searched, Vocabulary::OpenDocument, depth);
                break;
            }
            if (scanner != nullptr) {
                drain(searched);  // what follows the container, or all of a part that is none
            }
        } catch (const UnreadablePart& failure) {
            // A source that failed gives nothing more, so the part the failure met is the one named.
            note(path, failure.fault());
        }
    }

    // A ZIP inside another part is read from anywhere in it, so it is held in memory, within the limit.
    void searchHeldArchive(Source& source, std::u16string_view path, int depth)
    {
        std::vector<std::uint8_t> archive;
        std::vector<std::uint8_t> block(kBlock);
        while (const std::size_t got = source.read(block)) {
            if (held + archive.size() + got > kHeldInMemory) {
                throw UnreadablePart(Fault::TooLarge, "the archive is too large to be held in memory");
            }
            archive.insert(archive.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        }
        held += archive.size();
        try {
            MemoryAccess access(archive);
            searchArchive(access, path, depth);
        } catch (...) {
            held -= archive.size();
            throw;
        }
        held -= archive.size();
    }

    void searchArchive(RandomAccess& whole, std::u16string_view path, int depth)
    {
        const std::optional<ZipArchive> zip = ZipArchive::find(whole);
        if (!zip) {
            throw UnreadablePart(Fault::Corrupt, "no ZIP directory");
        }
        const Document document = documentOf(*zip);
        if (document != Document::None) {
            for (int pass = 0; pass < 3; ++pass) {
                zip->forEach([&](const ZipMember& member) {
                    if (const std::optional<Vocabulary> vocabulary = vocabularyOf(document, member.name, pass)) {
                        try {
                            const std::unique_ptr<Source> content = zip->open(member);
                            if (member.size >= ReadAheadSource::kWorthIt) {
                                ReadAheadSource ahead(*content);
                                searchText(ahead, *vocabulary, depth + 1);
                            } else {
                                searchText(*content, *vocabulary, depth + 1);
                            }
                        } catch (const UnreadablePart& failure) {
                            note(joined(path, member.name), failure.fault());
                        }
                    }
                    return true;
                });
            }
            return;
        }
        zip->forEach([&](const ZipMember& member) {
            if (keepGoing && !keepGoing()) {
                throw Stopped{};
            }
            if (member.folder()) {
                return true;
            }
            const std::u16string memberPath = joined(path, member.name);
            try {
                const std::unique_ptr<Source> content = zip->open(member);
                searchPart(*content, memberPath, depth + 1, false);
            } catch (const UnreadablePart& failure) {
                note(memberPath, failure.fault());
            }
            return true;
        });
    }

    Document documentOf(const ZipArchive& zip)
    {
        bool contentTypes = false;
        Document office = Document::None;
        std::optional<ZipMember> mimetype;
        zip.forEach([&](const ZipMember& member) {
            if (member.name == "[Content_Types].xml") {
                contentTypes = true;
            } else if (member.name == "word/document.xml") {
                office = Document::Word;
            } else if (member.name == "xl/workbook.xml") {
                office = Document::Excel;
            } else if (member.name == "ppt/presentation.xml") {
                office = Document::PowerPoint;
            } else if (member.name == "mimetype") {
                mimetype = member;
            }
            return true;
        });
        if (contentTypes && office != Document::None) {
            return office;
        }
        if (mimetype && mimetype->size < 256) {
            try {
                const std::unique_ptr<Source> content = zip.open(*mimetype);
                std::array<std::uint8_t, 256> bytes{};
                const std::span<const std::uint8_t> type(bytes.data(), content->read(bytes));
                if (startsWith(type, "application/vnd.oasis.opendocument.")) {
                    return Document::OpenDocument;
                }
                if (startsWith(type, "application/epub+zip")) {
                    return Document::Epub;
                }
            } catch (const UnreadablePart&) {
                // an unreadable type is no document's
            }
        }
        return Document::None;
    }

    // The visible text of one XML part, through the UTF-8 scanner of its level.
    void searchText(Source& source, Vocabulary vocabulary, int depth)
    {
        BlockScanner& scanner = textScanner(depth);
        bool found = false;
        const bool stopped = readXmlText(source, vocabulary, [&](std::span<const std::uint8_t> text) {
            found = scanner.feed(text);
            return found || (keepGoing && !keepGoing());
        });
        if (stopped) {
            if (found) {
                throw Found{};
            }
            throw Stopped{};
        }
    }

    ContentSearch& owner;
    std::u16string text;
    const CodePage& codePage;
    std::function<bool()> keepGoing;
    std::array<std::unique_ptr<BlockScanner>, kDeepest + 2> bytes;
    std::array<std::unique_ptr<BlockScanner>, kDeepest + 2> texts;
    std::size_t held = 0;
    std::u16string fileName;
    std::uint64_t fileSize = 0;
};

ContentSearch::ContentSearch(std::u16string_view text, const CodePage& codePage, std::function<bool()> keepGoing)
    : parts_(std::make_unique<Parts>(*this, text, codePage, std::move(keepGoing)))
{
}

ContentSearch::~ContentSearch() = default;

ContentSearch::Result ContentSearch::searchInside(RandomAccess& file, std::u16string_view fileName)
{
    WatchedAccess watched(file, parts_->keepGoing);
    parts_->fileName = fileName;
    parts_->fileSize = file.size();
    try {
        std::vector<std::uint8_t> first(kBlock);
        first.resize(watched.readAt(0, first));
        const Kind kind = kindOf(first);
        // Streams are told by their first bytes; any other file may still end with a ZIP directory
        // (a self-extracting archive does), which only its last bytes tell.
        if (kind == Kind::Gzip || kind == Kind::Tar || kind == Kind::FlatOpenDocument) {
            RangeSource whole(watched, 0, watched.size());
            parts_->searchPart(whole, {}, 0, true);
        } else {
            try {
                if (ZipArchive::find(watched)) {
                    parts_->searchArchive(watched, {}, 0);
                }
            } catch (const UnreadablePart& failure) {
                parts_->note({}, failure.fault());
            }
        }
    } catch (const Found&) {
        return Result::Found;
    } catch (const Stopped&) {
        return Result::Cancelled;
    }
    return Result::NotFound;
}

}  // namespace quorvin::readers
