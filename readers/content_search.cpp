#include "readers/content_search.h"

#include <algorithm>
#include <array>
#include <optional>

#include "readers/document_place.h"
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

// Opens a part anew, to read it again from its start.
using Opener = std::function<std::unique_ptr<Source>()>;

// What a gzip part holds, read again from the part's start.
class InflatedAgain final : public Source {
public:
    explicit InflatedAgain(std::unique_ptr<Source> outer)
        : outer_(std::move(outer)), inflated_(*outer_, InflateSource::Format::Gzip)
    {
    }
    std::size_t read(std::span<std::uint8_t> into) override { return inflated_.read(into); }

private:
    std::unique_ptr<Source> outer_;
    InflateSource inflated_;
};

// The `index`th file of a tar part (from 0), read again from the part's start.
class TarMemberAgain final : public Source {
public:
    TarMemberAgain(std::unique_ptr<Source> outer, std::size_t index) : outer_(std::move(outer)), tar_(*outer_)
    {
        for (std::size_t member = 0; member <= index; ++member) {
            if (!tar_.next()) {
                throw UnreadablePart(Fault::Truncated, "the tar part ends before the member read before");
            }
        }
    }
    std::size_t read(std::span<std::uint8_t> into) override { return tar_.content().read(into); }

private:
    std::unique_ptr<Source> outer_;
    TarReader tar_;
};

Opener tarMemberAgain(const Opener& reopen, std::size_t index)
{
    return [&reopen, index] { return std::make_unique<TarMemberAgain>(reopen(), index); };
}

// A part read from any offset by reading it again from its start, as often as a read goes back before the
// last bytes passed, which are kept: reading again the line just before an offset needs no new start.
class Replay {
public:
    explicit Replay(const Opener& open) : open_(open) {}

    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into)
    {
        if (!source_ || offset + kept_.size() < position_) {
            source_ = open_();
            position_ = 0;
            kept_.clear();
        }
        std::size_t got = 0;
        if (offset < position_) {
            const auto back = static_cast<std::size_t>(position_ - offset);
            got = std::min(back, into.size());
            std::copy_n(kept_.end() - static_cast<std::ptrdiff_t>(back), got, into.begin());
        }
        std::vector<std::uint8_t> skipped;
        while (position_ < offset) {
            skipped.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kKept, offset - position_)));
            if (pull(skipped) == 0) {
                return 0;
            }
        }
        return got == into.size() ? got : got + pull(into.subspan(got));
    }

private:
    static constexpr std::size_t kKept = 64 * 1024;

    std::size_t pull(std::span<std::uint8_t> into)
    {
        const std::size_t got = source_->read(into);
        position_ += got;
        const auto bytes = into.first(got);
        if (bytes.size() >= kKept) {
            kept_.assign(bytes.end() - static_cast<std::ptrdiff_t>(kKept), bytes.end());
        } else {
            const std::size_t total = kept_.size() + bytes.size();
            const std::size_t dropped = total > kKept ? total - kKept : 0;
            kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(dropped));
            kept_.insert(kept_.end(), bytes.begin(), bytes.end());
        }
        return got;
    }

    const Opener& open_;
    std::unique_ptr<Source> source_;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> kept_;  // the last bytes before position_
};

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

// Counts the bytes read through it.
class CountedSource final : public Source {
public:
    explicit CountedSource(std::unique_ptr<Source> inner) : inner_(std::move(inner)) {}
    std::size_t read(std::span<std::uint8_t> into) override
    {
        const std::size_t got = inner_->read(into);
        count_ += got;
        return got;
    }
    std::uint64_t count() const { return count_; }

private:
    std::unique_ptr<Source> inner_;
    std::uint64_t count_ = 0;
};

// A text found at `offset` of a tar archive's bytes, which `reopen` reads again: its place in the member
// that holds it, the archive's own bytes being its members' with headers between them.
std::optional<FoundPlace> placeInTar(const Opener& reopen, std::u16string_view path, const FirstOccurrence& locator,
                                     const CodePage& codePage, std::uint64_t offset, const std::function<bool()>& goOn)
{
    CountedSource counted(reopen());
    TarReader tar(counted);
    std::vector<std::uint8_t> block(kBlock);
    for (std::size_t index = 0; const std::optional<std::string> member = tar.next(); ++index) {
        const std::uint64_t start = counted.count();
        if (start > offset) {
            return std::nullopt;  // in a header
        }
        // The member's bytes up to the offset at the most: whether it reaches it.
        std::uint64_t length = 0;
        while (length <= offset - start) {
            const std::size_t got = tar.content().read(block);
            if (got == 0) {
                break;
            }
            length += got;
        }
        if (offset < start + length) {
            const Opener again = tarMemberAgain(reopen, index);
            Replay replay(again);
            const ReadAt read = [&replay](std::uint64_t at, std::span<std::uint8_t> into) {
                return replay.readAt(at, into);
            };
            std::optional<TextPlace> place = placeOf(locator, codePage, read, offset - start, offset - start + 1, goOn);
            if (!place) {
                return std::nullopt;  // it runs on past the member
            }
            return FoundPlace{std::move(*place), joined(path, *member), std::nullopt};
        }
        if (goOn && !goOn()) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<FoundPlace> placeInTarMember(RandomAccess& whole, const FirstOccurrence& locator,
                                           const CodePage& codePage, std::uint64_t offset,
                                           const std::function<bool()>& goOn)
{
    const Opener again = [&whole] { return std::make_unique<RangeSource>(whole, 0, whole.size()); };
    try {
        return placeInTar(again, {}, locator, codePage, offset, goOn);
    } catch (const UnreadablePart&) {
        return std::nullopt;
    }
}

bool mayHoldParts(std::span<const std::uint8_t> first)
{
    // A self-extracting archive is a Windows program with a ZIP directory at its end.
    return kindOf(first) != Kind::Bytes || startsWith(first, "MZ");
}

struct ContentSearch::Parts {
    Parts(ContentSearch& owner, std::u16string_view text, const CodePage& codePage, std::function<bool()> keepGoing,
          bool locates)
        : owner(owner), text(text), codePage(codePage), keepGoing(std::move(keepGoing))
    {
        if (locates) {
            locator.emplace(text, codePage);
        }
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

    // The text was found in the bytes [blockStart, blockEnd) of the part `reopen` reads again; in a tar
    // archive's, it is placed in the member that holds it.
    [[noreturn]] void foundInBytes(const Opener& reopen, std::u16string_view path, bool tar, std::uint64_t blockStart,
                                   std::uint64_t blockEnd)
    {
        if (locator) {
            Replay replay(reopen);
            locate([&] {
                const ReadAt read = [&replay](std::uint64_t offset, std::span<std::uint8_t> into) {
                    return replay.readAt(offset, into);
                };
                std::optional<TextPlace> place = placeOf(*locator, codePage, read, blockStart, blockEnd, keepGoing);
                if (!place) {
                    return;
                }
                const std::uint64_t offset = place->offset;
                owner.place_ = FoundPlace{std::move(*place), std::u16string(path), std::nullopt};
                if (tar) {
                    if (std::optional<FoundPlace> inMember =
                            placeInTar(reopen, path, *locator, codePage, offset, keepGoing)) {
                        owner.place_ = std::move(inMember);
                    }
                }
            });
        }
        throw Found{};
    }

    // Reading a part again that fails or is stopped leaves the place untold, not the text found. Whatever
    // the file throws now is taken alike: it did not keep the search from finding the text.
    static void locate(const std::function<void()>& tell)
    {
        try {
            tell();
        } catch (...) {
            // no place
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
    // `reopen` reads the part again from its start.
    void searchPart(Source& source, const Opener& reopen, std::u16string_view path, int depth, bool bytesSearched)
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
            Searched(Parts& parts, Source& inner, BlockScanner* scanner, const Opener& reopen, std::u16string_view path,
                     bool tar)
                : parts_(parts), inner_(inner), scanner_(scanner), reopen_(reopen), path_(path), tar_(tar)
            {
            }
            std::size_t read(std::span<std::uint8_t> into) override
            {
                const std::size_t got = inner_.read(into);
                if (scanner_ != nullptr) {
                    if (scanner_->feed(into.first(got))) {
                        parts_.foundInBytes(reopen_, path_, tar_, offset_, offset_ + got);
                    }
                    if (parts_.keepGoing && !parts_.keepGoing()) {
                        throw Stopped{};
                    }
                }
                offset_ += got;
                return got;
            }

        private:
            Parts& parts_;
            Source& inner_;
            BlockScanner* scanner_;
            const Opener& reopen_;
            std::u16string_view path_;
            bool tar_;
            std::uint64_t offset_ = 0;  // of the part's bytes read before
        } searched(*this, whole, scanner, reopen, path, kind == Kind::Tar);

        try {
            switch (kind) {
            case Kind::Bytes:
                break;
            case Kind::Gzip: {
                const Opener inflatedAgain = [&reopen] { return std::make_unique<InflatedAgain>(reopen()); };
                InflateSource inflated(searched, InflateSource::Format::Gzip);
                // A large gzip file is inflated beside the search of what it holds; inside an archive,
                // where its size is not known, it is inflated as it is read.
                if (depth == 0 && fileSize >= ReadAheadSource::kWorthIt) {
                    ReadAheadSource ahead(inflated);
                    searchPart(ahead, inflatedAgain, path, depth + 1, false);
                } else {
                    searchPart(inflated, inflatedAgain, path, depth + 1, false);
                }
                break;
            }
            case Kind::Tar: {
                TarReader tar(searched);
                for (std::size_t index = 0; const std::optional<std::string> member = tar.next(); ++index) {
                    const Opener memberAgain = tarMemberAgain(reopen, index);
                    searchPart(tar.content(), memberAgain, joined(path, *member), depth + 1, false);
                }
                break;
            }
            case Kind::Zip:
                searchHeldArchive(searched, path, depth);
                break;
            case Kind::FlatOpenDocument:
                searchText(searched, reopen, Vocabulary::OpenDocument, path, {}, depth);
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
                            const Opener again = [&zip, &member] { return zip->open(member); };
                            try {
                                if (member.size >= ReadAheadSource::kWorthIt) {
                                    ReadAheadSource ahead(*content);
                                    searchText(ahead, again, *vocabulary, path, member.name, depth + 1);
                                } else {
                                    searchText(*content, again, *vocabulary, path, member.name, depth + 1);
                                }
                            } catch (const Found&) {
                                if (document == Document::Excel && owner.place_ && owner.place_->document) {
                                    locate([&] { placeWorkbookCell(*zip, *owner.place_->document, member.name); });
                                }
                                throw;
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
                const Opener again = [&zip, &member] { return zip->open(member); };
                searchPart(*content, again, memberPath, depth + 1, false);
            } catch (const UnreadablePart& failure) {
                note(memberPath, failure.fault());
            }
            return true;
        });
    }

    void placeWorkbookCell(const ZipArchive& zip, DocumentPlace& place, std::string_view name)
    {
        std::vector<std::string> worksheets;
        zip.forEach([&worksheets](const ZipMember& member) {
            if (vocabularyOf(Document::Excel, member.name, 2) == Vocabulary::Worksheet) {
                worksheets.push_back(member.name);
            }
            return true;
        });
        placeCell(place, name, worksheets, [&zip](std::string_view wanted) {
            std::unique_ptr<Source> part;
            zip.forEach([&](const ZipMember& member) {
                if (member.name == wanted) {
                    part = zip.open(member);
                }
                return !part;
            });
            return part;
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

    // The visible text of one XML part, through the UTF-8 scanner of its level: the part `name` of the
    // document at `path`, or the document itself where `name` is empty.
    void searchText(Source& source, const Opener& reopen, Vocabulary vocabulary, std::u16string_view path,
                    std::string_view name, int depth)
    {
        BlockScanner& scanner = textScanner(depth);
        bool found = false;
        std::uint64_t read = 0;  // bytes of text before the piece
        std::uint64_t pieceSize = 0;
        const bool stopped = readXmlText(source, vocabulary, [&](std::span<const std::uint8_t> text) {
            read += pieceSize;
            pieceSize = text.size();
            found = scanner.feed(text);
            return found || (keepGoing && !keepGoing());
        });
        if (stopped) {
            if (found) {
                if (locator) {
                    locate([&] {
                        const std::unique_ptr<Source> again = reopen();
                        owner.place_ = placeInDocument(*again, vocabulary, name, *textLocator(), read, read + pieceSize,
                                                       keepGoing);
                        if (owner.place_) {
                            owner.place_->part = path;
                        }
                    });
                }
                throw Found{};
            }
            throw Stopped{};
        }
    }

    const FirstOccurrence* textLocator()
    {
        if (!utf8Locator) {
            utf8Locator.emplace(text, BlockScanner::Utf8Only{});
        }
        return &*utf8Locator;
    }

    ContentSearch& owner;
    std::u16string text;
    const CodePage& codePage;
    std::function<bool()> keepGoing;
    std::array<std::unique_ptr<BlockScanner>, kDeepest + 2> bytes;
    std::array<std::unique_ptr<BlockScanner>, kDeepest + 2> texts;
    std::optional<FirstOccurrence> locator;      // the forms of the text in bytes, where the search locates
    std::optional<FirstOccurrence> utf8Locator;  // in a document's text, made once found there
    std::size_t held = 0;
    std::u16string fileName;
    std::uint64_t fileSize = 0;
};

ContentSearch::ContentSearch(std::u16string_view text, const CodePage& codePage, std::function<bool()> keepGoing,
                             bool locates)
    : parts_(std::make_unique<Parts>(*this, text, codePage, std::move(keepGoing), locates))
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
            const Opener again = [&watched] { return std::make_unique<RangeSource>(watched, 0, watched.size()); };
            parts_->searchPart(whole, again, {}, 0, true);
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
