#include "search_module/background_scan.h"

#include <algorithm>
#include <atomic>

#include "readers/tar.h"
#include "scanner/block_scanner.h"

namespace quorvin {

// Held by both threads: the scan's thread may outlive the BackgroundScan that started it.
namespace {

// The file as the readers see it: from offset 0, its length as it was told, each read counted as progress.
class FileAccess final : public readers::RandomAccess {
public:
    FileAccess(platform::BinaryFile& file, std::int64_t length, std::atomic<std::int64_t>& progress)
        : file_(file), length_(static_cast<std::uint64_t>(length)), progress_(progress)
    {
    }
    std::uint64_t size() override { return length_; }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        if (offset >= length_) {
            return 0;
        }
        const std::size_t got = file_.read(static_cast<std::int64_t>(offset) + 1,
                                           into.first(std::min<std::uint64_t>(into.size(), length_ - offset)));
        progress_.store(static_cast<std::int64_t>(offset + got), std::memory_order_relaxed);
        return got;
    }

private:
    platform::BinaryFile& file_;
    std::uint64_t length_;
    std::atomic<std::int64_t>& progress_;
};

// The file, keeping the first bytes of its first read: they tell whether it may hold parts to search; and
// where its last read was, the block the text was found in.
class FirstBytesKept final : public platform::BinaryFile {
public:
    explicit FirstBytesKept(platform::BinaryFile& file) : file_(file) {}
    std::int64_t length() override { return file_.length(); }
    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        const std::size_t got = file_.read(position, into);
        if (position == 1) {
            first.assign(into.begin(),
                         into.begin() + static_cast<std::ptrdiff_t>(std::min(got, readers::kSniffedBytes)));
        }
        lastStart = static_cast<std::uint64_t>(position - 1);
        lastEnd = lastStart + got;
        return got;
    }
    std::vector<std::uint8_t> first;
    std::uint64_t lastStart = 0, lastEnd = 0;

private:
    platform::BinaryFile& file_;
};

}  // namespace

struct BackgroundScan::Shared {
    Shared(FileOpener open, std::unique_ptr<BlockScanner> scanner, std::optional<InsideSearch> inside,
           std::optional<Locating> locating)
        : open(std::move(open)), scanner(std::move(scanner)), inside(std::move(inside)), locating(std::move(locating))
    {
    }

    // Reads the file again up to the text, in reads no larger than the search's and within the `length` it
    // searched: a read that fails now leaves the place untold, not the search.
    std::optional<TextPlace> placeFound(const FirstBytesKept& kept, std::uint64_t length)
    {
        try {
            return placeOf(
                *locating->locator, *locating->codePage,
                [this, length](std::uint64_t offset, std::span<std::uint8_t> into) -> std::size_t {
                    if (offset >= length) {
                        return 0;
                    }
                    const std::size_t most =
                        std::min<std::uint64_t>({into.size(), ScanOptioons::BlockSize, length - offset});
                    return file->read(static_cast<std::int64_t>(offset) + 1, into.first(most));
                },
                kept.lastStart, kept.lastEnd, [this] { return !abandoned.load(std::memory_order_relaxed); });
        } catch (const platform::FileError&) {
            return std::nullopt;
        }
    }

    void placeInMember(readers::FoundPlace& place, std::uint64_t length)
    {
        try {
            FileAccess access(*file, static_cast<std::int64_t>(length), progress);
            if (std::optional<readers::FoundPlace> inMember =
                    readers::placeInTarMember(access, *locating->locator, *locating->codePage, place.offset,
                                              [this] { return !abandoned.load(std::memory_order_relaxed); })) {
                place = std::move(*inMember);
            }
        } catch (const platform::FileError&) {
            // the place in the file's own bytes stays
        }
    }

    void searchInside(ScanOutcome& result)
    {
        readers::ContentSearch search(
            inside->text, *inside->codePage, [this] { return !abandoned.load(std::memory_order_relaxed); },
            locating.has_value());
        FileAccess access(*file, result.bytesRead, progress);
        switch (search.searchInside(access, inside->fileName)) {
        case readers::ContentSearch::Result::Found:
            result.result = ScanOptioons::ScanResult::Found;
            result.place = search.place();
            break;
        case readers::ContentSearch::Result::Cancelled:
            result.result = ScanOptioons::ScanResult::Cancelled;
            break;
        case readers::ContentSearch::Result::NotFound:
            break;
        }
        result.unreadCount = search.unreadCount();
        result.unread = search.unread();
    }

    void run()
    {
        ScanOutcome result;
        try {
            file = open();
            result.opened = true;
            const std::int64_t told = file->length();
            result.lengthTold = told;
            length.store(told);
            // A file whose open returned after the user gave up is closed unread.
            if (scanner && !abandoned.load(std::memory_order_relaxed)) {
                FirstBytesKept kept(*file);
                result.result = ScanOptioons::ScanBlocks(
                    kept, told == 0 ? ScanOptioons::kToTheEnd : told, *scanner,
                    [this](std::int64_t read) {
                        progress.store(read, std::memory_order_relaxed);
                        return !abandoned.load(std::memory_order_relaxed);
                    },
                    &result.bytesRead, ScanOptioons::BlockSize, &result.reachedEnd);
                if (result.result == ScanOptioons::ScanResult::Found && locating) {
                    const auto searched = static_cast<std::uint64_t>(told > 0 ? told : result.bytesRead);
                    if (std::optional<TextPlace> place = placeFound(kept, searched)) {
                        result.place = readers::FoundPlace{std::move(*place)};
                        // A tar archive's bytes are its members': the text is told in its member.
                        if (readers::looksLikeTar(kept.first)) {
                            placeInMember(*result.place, searched);
                        }
                    }
                }
                // A file that tells no size holds nothing inside: it is a stream, not an archive.
                if (result.result == ScanOptioons::ScanResult::NotFound && inside && told > 0 &&
                    readers::mayHoldParts(kept.first)) {
                    searchInside(result);
                }
                if (result.result == ScanOptioons::ScanResult::Found) {
                    result.lengthAtEnd = file->length();
                }
            }
        } catch (...) {
            result.failure = std::current_exception();
        }
        file.reset();  // closed before anyone is told the scan is over
        outcome = std::move(result);
    }

    const FileOpener open;
    std::unique_ptr<platform::BinaryFile> file;
    std::atomic<std::int64_t> length{-1};  // -1 until the file is open
    const std::unique_ptr<BlockScanner> scanner;
    const std::optional<InsideSearch> inside;
    const std::optional<Locating> locating;
    std::atomic<std::int64_t> progress{0};
    std::atomic<bool> abandoned{false};
    ScanOutcome outcome;  // read once the thread has ended
};

BackgroundScan::BackgroundScan(FileOpener open, std::unique_ptr<BlockScanner> scanner,
                               std::optional<InsideSearch> inside, std::optional<Locating> locating)
    : shared_(std::make_shared<Shared>(std::move(open), std::move(scanner), std::move(inside), std::move(locating))),
      thread_([shared = shared_] { shared->run(); })
{
}

BackgroundScan::~BackgroundScan()
{
    abandon();  // a scan over already takes no notice
}

bool BackgroundScan::waitFor(std::int64_t milliseconds)
{
    return thread_.waitFor(milliseconds);
}

std::int64_t BackgroundScan::bytesRead() const
{
    return shared_->progress.load(std::memory_order_relaxed);
}

std::optional<std::int64_t> BackgroundScan::length() const
{
    const std::int64_t told = shared_->length.load();
    return told < 0 ? std::nullopt : std::optional(told);
}

void BackgroundScan::abandon()
{
    shared_->abandoned.store(true, std::memory_order_relaxed);
}

const ScanOutcome& BackgroundScan::outcome() const
{
    return shared_->outcome;
}

}  // namespace quorvin
