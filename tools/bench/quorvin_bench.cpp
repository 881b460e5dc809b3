// quorvin-bench [--code-page-only] [--no-place] [--path=scalar|sse2|avx2|avx512] FILE TEXT: searches FILE as the
// program does, its own bytes and then what it holds inside (archives, documents), on the search's own
// thread, and times it. TEXT is UTF-8; it is looked for in Windows-1252, UTF-8, UTF-16LE and UTF-16BE, or
// with --code-page-only in Windows-1252 alone in the file's own bytes. --path forces a search path.
// Prints "found" or "not found", then bytes, seconds, GB/s and the processor's search path, then, once
// found in the file's own bytes, "place: " and the place as the main window shows it (unless --no-place,
// which times the search without reading again up to the text), then the parts that could not be
// searched inside.
// quorvin-bench --inflate-only FILE: inflates what a gzip file or a ZIP archive holds and nothing else,
// to time the decoding alone; prints the bytes inflated.
// Exit status: 0 found, 1 not found, 2 error.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "encoding/code_page.h"
#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "readers/inflate.h"
#include "readers/random_access.h"
#include "readers/zip.h"
#include "scanner/anchor_filter.h"
#include "scanner/block_scanner.h"
#include "scanner/candidate_pass.h"
#include "search_module/background_scan.h"
#include "search_module/messages.h"
#include "search_module/scan_options.h"

namespace {

using namespace quorvin;

// The file as the readers read it.
class FileAccess final : public readers::RandomAccess {
public:
    explicit FileAccess(platform::BinaryFile& file) : file_(file), size_(static_cast<std::uint64_t>(file.length())) {}
    std::uint64_t size() override { return size_; }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        return file_.read(static_cast<std::int64_t>(offset) + 1, into);
    }

private:
    platform::BinaryFile& file_;
    std::uint64_t size_;
};

const char* faultName(readers::Fault fault)
{
    switch (fault) {
    case readers::Fault::Encrypted:
        return "encrypted";
    case readers::Fault::Method:
        return "compression method not read";
    case readers::Fault::Corrupt:
        return "corrupt";
    case readers::Fault::Truncated:
        return "truncated";
    case readers::Fault::TooDeep:
        return "nested too deep";
    case readers::Fault::TooLarge:
        return "too large";
    }
    return "?";
}

int run(const char* fileName, const char* text, bool unicode, bool place)
{
    const std::u16string typed = platform::posix::fromNativePath(text);
    const std::u16string path = platform::posix::fromNativePath(fileName);
    platform::posix::PosixBinaryFiles files;
    const auto started = std::chrono::steady_clock::now();
    ScanOutcome outcome;
    auto scanner = std::make_unique<BlockScanner>(typed, CodePage::windows1252(), unicode);
    std::optional<Locating> locating;
    if (ScanOptioons::typedLength(typed) > ScanOptioons::LongestText || !scanner->searches()) {
        scanner.reset();
    } else if (place) {
        locating = Locating{std::make_unique<FirstOccurrence>(typed, CodePage::windows1252(), unicode),
                            &CodePage::windows1252()};
    }
    BackgroundScan scan([&] { return files.openRead(path); }, std::move(scanner),
                        InsideSearch{typed, &CodePage::windows1252(), path}, std::move(locating));
    while (!scan.waitFor(1000)) {
    }
    outcome = scan.outcome();
    if (outcome.failure) {
        std::rethrow_exception(outcome.failure);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool found = outcome.result == ScanOptioons::ScanResult::Found;
    const std::int64_t scanned = outcome.bytesRead;
    std::printf("%s\n%lld bytes\n%.6f s\n%.3f GB/s\npath: %s\n", found ? "found" : "not found",
                static_cast<long long>(scanned), seconds, seconds > 0 ? scanned / seconds / 1e9 : 0.0,
                scan_paths::name(scan_paths::current()));
    if (outcome.place) {
        std::printf("place: %s\n",
                    platform::posix::toNativePath(messages::place(*outcome.place, CodePage::windows1252())).c_str());
    }
    if (outcome.unreadCount > 0) {
        std::printf("not searched inside: %llu\n", static_cast<unsigned long long>(outcome.unreadCount));
        for (const readers::UnreadPart& part : outcome.unread) {
            std::printf("  %s: %s\n", platform::posix::toNativePath(part.path).c_str(), faultName(part.fault));
        }
    }
    return found ? 0 : 1;
}

// Inflates and drops: what the decoding alone costs.
int inflateOnly(const char* fileName)
{
    platform::posix::PosixBinaryFiles files;
    const auto started = std::chrono::steady_clock::now();
    auto file = files.openRead(platform::posix::fromNativePath(fileName));
    FileAccess access(*file);
    std::vector<std::uint8_t> block(ScanOptioons::BlockSize);
    std::uint64_t inflated = 0;
    const auto drain = [&](readers::Source& source) {
        while (const std::size_t got = source.read(block)) {
            inflated += got;
        }
    };
    if (const std::optional<readers::ZipArchive> zip = readers::ZipArchive::find(access)) {
        zip->forEach([&](const readers::ZipMember& member) {
            if (!member.folder()) {
                drain(*zip->open(member));
            }
            return true;
        });
    } else {
        readers::RangeSource whole(access, 0, access.size());
        readers::InflateSource gzip(whole, readers::InflateSource::Format::Gzip);
        drain(gzip);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%llu bytes inflated\n%.6f s\n", static_cast<unsigned long long>(inflated), seconds);
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: quorvin-bench [--code-page-only] [--no-place] [--path=scalar|sse2|avx2|avx512] FILE TEXT\n"
                 "       quorvin-bench --inflate-only FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string_view(argv[1]) == "--inflate-only") {
        try {
            return inflateOnly(argv[2]);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "quorvin-bench: %s: %s\n", argv[2], error.what());
            return 2;
        }
    }
    bool unicode = true;
    bool place = true;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string_view option = argv[first];
        if (option == "--code-page-only") {
            unicode = false;
        } else if (option == "--no-place") {
            place = false;
        } else if (option.starts_with("--path=")) {
            bool known = false;
            for (scan_paths::Path path :
                 {scan_paths::Path::Scalar, scan_paths::Path::Sse2, scan_paths::Path::Avx2, scan_paths::Path::Avx512}) {
                if (option.substr(7) == scan_paths::name(path)) {
                    known = true;
                    if (!scan_paths::use(path)) {
                        std::fprintf(stderr, "quorvin-bench: this processor has no %s path\n", scan_paths::name(path));
                        return 2;
                    }
                }
            }
            if (!known) return usage();
        } else {
            return usage();
        }
    }
    if (argc - first != 2) {
        return usage();
    }
    try {
        return run(argv[first], argv[first + 1], unicode, place);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvin-bench: %s: %s\n", argv[first], error.what());
        return 2;
    }
}
