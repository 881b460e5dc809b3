#include "search_module/scan_options.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>

#include "main_window/frm_scan.h"
#include "platform/services.h"
#include "search_module/block_scanner.h"
#include "search_module/messages.h"
#include "search_module/number_text.h"
#include "search_module/scan_progress.h"

namespace quorvin::ScanOptioons {

namespace {

using platform::services;

std::u16string fileNameOf(const std::u16string& path)
{
    const auto slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

void showMessage(const std::u16string& text, const std::u16string& caption, int type)
{
    services().messageBox->show(FrmScan::instance().hWnd(), text, caption, type);
}

// Search time and throughput, worked out from the texts shown in the fields as the user sees them.
void writeStatistics(FrmScan& form, double startTime)
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

ScanResult ScanBlocks(platform::BinaryFile& file, std::int64_t length, BlockScanner& scanner,
                      const BlockObserver& observer, std::int64_t* bytesRead, std::size_t blockSize)
{
    // Page-aligned, so the scanner's vector loads never straddle a cache line needlessly.
    constexpr std::align_val_t kPage{4096};
    const std::unique_ptr<std::uint8_t[], void (*)(std::uint8_t*)> storage(
        new (kPage) std::uint8_t[blockSize], [](std::uint8_t* p) { ::operator delete[](p, std::align_val_t{4096}); });
    const std::span<std::uint8_t> block(storage.get(), blockSize);
    std::int64_t read = 0;
    ScanResult result = ScanResult::NotFound;
    const auto step = static_cast<std::int64_t>(blockSize);
    for (std::int64_t position = 1; position <= length; position += step) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(step, length - position + 1));
        const std::size_t got = file.read(position, block.first(wanted));
        read += static_cast<std::int64_t>(got);
        if (scanner.feed(block.first(got))) {
            result = ScanResult::Found;
            break;
        }
        if (got < wanted) {
            break;  // the file shrank: its real end
        }
        if (observer && !observer(read)) {
            result = ScanResult::Cancelled;
            break;
        }
    }
    if (bytesRead != nullptr) {
        *bytesRead = read;
    }
    return result;
}

void ScanFile(const std::u16string& path, const std::u16string& text)
{
    FrmScan& form = FrmScan::instance();
    form.Text4().setText(path);

    std::unique_ptr<platform::BinaryFile> file;
    ScanResult result = ScanResult::NotFound;
    std::int64_t length = 0;
    double startTime = 0;
    try {
        file = services().binaryFiles->openRead(path);
        length = file->length();
        form.Text2().setText(integerToText(length));
        startTime = services().clock->timeOfDay();

        // A text longer than a block, or with no form a file can hold, never occurs.
        BlockScanner scanner(text, services().locale->codePage());
        if (text.size() <= BlockSize && scanner.searches()) {
            ScanProgress progress(form.window(), fileNameOf(path), length);
            result = ScanBlocks(*file, length, scanner,
                                [&progress](std::int64_t bytesRead) { return progress.onBlock(bytesRead); });
        }
        if (result == ScanResult::Found) {
            length = file->length();
        }
    } catch (const platform::FileError& error) {
        if (!file) {
            form.Text2().setText(u"");  // the size shown was another file's
        }
        file.reset();
        showMessage(messages::fileError(error.fault(), path), messages::kFileErrorCaption, platform::kMessageError);
        return;
    }
    file.reset();  // closed before the user is told, so the file is not held while the message is up

    if (result == ScanResult::Found) {
        showMessage(messages::found(length, text, path), messages::kFoundCaption, platform::kMessageOk);
        return;
    }
    if (result == ScanResult::Cancelled) {
        showMessage(messages::cancelled(text, path), messages::kCancelledCaption, platform::kMessageInformation);
        return;
    }
    showMessage(messages::notFound(text, path), messages::kNotFoundCaption, platform::kMessageOk);
    writeStatistics(form, startTime);
}

std::u16string ShowOpenDialog(platform::WindowHandle owner, const std::u16string& filter,
                              const std::u16string& title, const std::u16string& initialDir)
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
    FrmScan::instance().Text4().setText(path);
    return path;
}

}  // namespace quorvin::ScanOptioons
