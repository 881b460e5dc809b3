#include "search_module/scan_options.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

#include "platform/services.h"
#include "scanner/block_scanner.h"
#include "search_module/background_scan.h"
#include "search_module/messages.h"
#include "search_module/number_text.h"
#include "search_module/scan_window.h"
#include "search_module/search_state.h"

namespace quorvin::ScanOptioons {

namespace {

using platform::services;

ScanWindow* theWindow = nullptr;

ScanWindow& scanWindow()
{
    assert(theWindow != nullptr && "a window receives the search's results");
    return *theWindow;
}

std::u16string fileNameOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

void showMessage(const std::u16string& text, const std::u16string& caption, int type)
{
    services().messageBox->show(scanWindow().hWnd(), text, caption, type);
}

// Search time and throughput, worked out from the texts shown in the fields as the user sees them.
void writeStatistics(ScanWindow& form, double startTime)
{
    platform::LocaleService& locale = *services().locale;
    const char16_t separator = locale.decimalSeparator();
    double endTime = services().clock->timeOfDay();
    if (endTime < startTime) {
        endTime += 1.0;  // the search ran across midnight
    }
    // The clock counts whole seconds; rounding keeps the subtraction from showing float noise.
    const double seconds = std::round((endTime - startTime) * 86400);
    form.Text1().setText(numberToText(seconds / 86400, separator));

    const std::optional<double> bytes = textToNumber(form.Text2().text(), separator);
    const std::optional<double> days = textToNumber(form.Text1().text(), separator);
    if (!bytes || !days || *days == 0) {
        form.Text3().setText(u"");  // no measurable time: no throughput
        return;
    }
    form.Text3().setText(numberToText(*bytes / *days, separator));
    const std::optional<double> perDay = textToNumber(form.Text3().text(), separator);
    form.Text3().setText(perDay ? numberToText(*perDay / 100000, separator) : u"");
}

}  // namespace

std::size_t typedLength(std::u16string_view text)
{
    const auto high = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    const auto low = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++at, ++count) {
        if (high(text[at]) && at + 1 < text.size() && low(text[at + 1])) {
            ++at;
        }
    }
    return count;
}

void setScanWindow(ScanWindow* window)
{
    theWindow = window;
}

ScanResult ScanBlocks(platform::BinaryFile& file, std::int64_t length, BlockScanner& scanner,
                      const BlockObserver& observer, std::int64_t* bytesRead, std::size_t blockSize, bool* reachedEnd)
{
    // Page-aligned, so the scanner's vector loads never straddle a cache line needlessly.
    constexpr std::align_val_t kPage{4096};
    const std::unique_ptr<std::uint8_t[], void (*)(std::uint8_t*)> storage(
        new (kPage) std::uint8_t[blockSize], [](std::uint8_t* p) { ::operator delete[](p, std::align_val_t{4096}); });
    const std::span<std::uint8_t> block(storage.get(), blockSize);
    std::int64_t read = 0;
    bool shortRead = false;
    ScanResult result = ScanResult::NotFound;
    const auto largest = static_cast<std::int64_t>(blockSize);
    auto step = std::min<std::int64_t>(static_cast<std::int64_t>(FirstReadSize), largest);
    for (std::int64_t position = 1; position <= length; position += step) {
        if (step < largest && read >= ReadsBeforeGrowing * step) {
            step = std::min(2 * step, largest);
        }
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(step, length - position + 1));
        const std::size_t got = file.read(position, block.first(wanted));
        read += static_cast<std::int64_t>(got);
        shortRead = got < wanted;
        if (scanner.feed(block.first(got))) {
            result = ScanResult::Found;
            break;
        }
        if (shortRead) {
            break;  // the file shrank, or was never as long as it said: its real end
        }
        if (observer && !observer(read)) {
            result = ScanResult::Cancelled;
            break;
        }
    }
    if (bytesRead != nullptr) {
        *bytesRead = read;
    }
    if (reachedEnd != nullptr) {
        *reachedEnd = shortRead;
    }
    return result;
}

namespace {

// Opens and scans on a thread of its own while this thread keeps the windows alive, until the scan ends, the
// user cancels it or the program is ending. The size is shown once the file tells it. A scan given up is
// left to finish its open or its read in the background.
ScanOutcome scanWhileWindowsLive(ScanWindow& form, const std::u16string& path, std::unique_ptr<BlockScanner> scanner,
                                 std::optional<InsideSearch> inside, std::optional<Locating> locating,
                                 search::Running& running)
{
    // The progress counts from the click: a file slow to open shows it as one slow to read does.
    const std::unique_ptr<ScanProgressReport> progress = form.startProgress(fileNameOf(path), 0);
    BackgroundScan scan([path] { return services().binaryFiles->openRead(path); }, std::move(scanner),
                        std::move(inside), std::move(locating));
    // Quit or a closing window stop the reads from inside their own handler, before it goes on: the
    // process is not kept reading while the window goes.
    running.setStop([&scan] { scan.abandon(); });
    const struct StopForgotten {
        search::Running& running;
        ~StopForgotten() { running.setStop(nullptr); }
    } forgotten{running};
    bool sizeShown = false;
    for (;;) {
        const bool over = scan.waitFor(0);  // the progress's tick waits, answering the windows meanwhile
        if (!sizeShown && scan.length()) {
            form.Text2().setText(integerToText(*scan.length()));
            progress->sizeKnown(*scan.length());
            sizeShown = true;
        }
        if (over) {
            return scan.outcome();
        }
        if (!progress->onTick(scan.bytesRead()) || running.quitRequested()) {
            scan.abandon();
            // A read that does not wait ends within this time, and the file is closed before anyone is told.
            scan.waitFor(ScanProgressReport::kTickMilliseconds);
            ScanOutcome givenUp;
            givenUp.result = ScanResult::Cancelled;
            givenUp.opened = scan.length().has_value();
            givenUp.bytesRead = scan.bytesRead();
            return givenUp;
        }
    }
}

}  // namespace

void ScanFile(const std::u16string& path, const std::u16string& text)
{
    ScanWindow& form = scanWindow();
    form.Text4().setText(path);
    form.Text5().setText(u"");  // the place of the last search's text
    form.Text6().setText(u"");
    form.Text6().setToolTip(u"");
    search::Running running;

    // The search's time counts from here: the open is part of it.
    const double startTime = services().clock->timeOfDay();
    // A text of more characters than the limit, or with no form a file can hold, never occurs: the file
    // is still opened, for its size or what keeps it from being read.
    const CodePage& codePage = services().locale->codePage();
    auto scanner = std::make_unique<BlockScanner>(text, codePage);
    std::optional<Locating> locating;
    if (typedLength(text) > LongestText || !scanner->searches()) {
        scanner.reset();
    } else {
        locating = Locating{std::make_unique<FirstOccurrence>(text, codePage), &codePage};
    }
    const InsideSearch inside{text, &codePage, fileNameOf(path)};
    const ScanOutcome outcome =
        scanWhileWindowsLive(form, path, std::move(scanner), inside, std::move(locating), running);
    if (!outcome.opened) {
        form.Text2().setText(u"");  // the size shown was another file's
    }
    if (outcome.failure) {
        try {
            std::rethrow_exception(outcome.failure);
        } catch (const platform::FileError& error) {
            if (!running.quitRequested()) {
                showMessage(messages::fileError(error.fault(), path), messages::kFileErrorCaption,
                            platform::kMessageError);
            }
            return;
        }
    }
    if (running.quitRequested()) {
        return;  // the program is ending: nobody to tell
    }
    // What a size that reads 0 leaves untold, or a size larger than the file really is, the bytes read tell.
    const bool sizeUntold = outcome.opened && outcome.lengthTold == 0;
    if (sizeUntold) {
        form.Text2().setText(integerToText(outcome.bytesRead));
    }

    if (outcome.result == ScanResult::Found) {
        if (outcome.place) {
            form.Text5().setText(messages::place(*outcome.place, codePage));
            form.Text6().setText(outcome.place->excerpt);
            form.Text6().setToolTip(outcome.place->wholeLine);
        }
        const std::int64_t scanned = sizeUntold || outcome.reachedEnd ? outcome.bytesRead : outcome.lengthAtEnd;
        showMessage(messages::found(scanned, text, path), messages::kFoundCaption, platform::kMessageOk);
        return;
    }
    if (outcome.result == ScanResult::Cancelled) {
        showMessage(messages::cancelled(text, path), messages::kCancelledCaption, platform::kMessageInformation);
        return;
    }
    showMessage(messages::notFound(text, path), messages::kNotFoundCaption, platform::kMessageOk);
    // A « no » that could not look everywhere says so.
    if (outcome.unreadCount > 0) {
        showMessage(messages::partlyUnread(outcome.unreadCount, outcome.unread), messages::kPartlyUnreadCaption,
                    platform::kMessageInformation);
    }
    writeStatistics(form, startTime);
}

std::u16string ShowOpenDialog(platform::WindowHandle owner, const std::u16string& filter, const std::u16string& title,
                              const std::u16string& initialDir)
{
    platform::OpenFileRecord record;
    record.owner = owner;
    record.instance = services().application->instance();

    // Bars separate the filter's items; the dialog wants NULs, and one more NUL after the last item.
    record.filter = filter;
    if (record.filter.empty() || record.filter.back() != u'|') {
        record.filter += u'|';
    }
    std::replace(record.filter.begin(), record.filter.end(), u'|', u'\0');
    record.filter += u'\0';

    record.fileBuffer.assign(254, u' ');
    record.fileTitleBuffer.assign(254, u' ');
    record.initialDir = initialDir;
    record.title = title;
    record.flags = platform::kOfnFileMustExist | platform::kOfnHideReadOnly;

    if (!services().openFileDialog->show(record)) {
        return {};
    }

    // The path ends at the first NUL; without one, the buffer's padding spaces are trimmed off.
    std::u16string path = record.fileBuffer;
    if (const auto nul = path.find(u'\0'); nul != std::u16string::npos) {
        path.resize(nul);
    } else {
        const auto first = path.find_first_not_of(u' ');
        const auto last = path.find_last_not_of(u' ');
        path = first == std::u16string::npos ? std::u16string() : path.substr(first, last - first + 1);
    }
    scanWindow().Text4().setText(path);
    return path;
}

}  // namespace quorvin::ScanOptioons
