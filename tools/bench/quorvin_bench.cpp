// quorvin-bench FILE TEXT: runs the program's own block scan over FILE, as a search does, and times it.
// TEXT is UTF-8. Prints "found" or "not found", then bytes, seconds, GB/s and the processor's search path.
// Exit status: 0 found, 1 not found, 2 error.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "search_module/block_scanner.h"
#include "encoding/code_page.h"
#include "search_module/scan_options.h"

namespace {

using namespace quorvin;

int run(const char* fileName, const char* text)
{
    const std::optional<std::string> needle =
        CodePage::windows1252().encode(platform::posix::fromNativePath(text));
    platform::posix::PosixBinaryFiles files;
    const auto started = std::chrono::steady_clock::now();
    auto file = files.openRead(platform::posix::fromNativePath(fileName));
    const std::int64_t length = file->length();
    auto result = ScanOptioons::ScanResult::NotFound;
    std::int64_t scanned = 0;
    if (needle && needle->size() <= ScanOptioons::BlockSize) {
        BlockScanner scanner(*needle, CodePage::windows1252().foldTable());
        result = ScanOptioons::ScanBlocks(*file, length, scanner, {}, &scanned);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool found = result == ScanOptioons::ScanResult::Found;
    std::printf("%s\n%lld bytes\n%.6f s\n%.3f GB/s\npath: %s\n", found ? "found" : "not found",
                static_cast<long long>(scanned), seconds, seconds > 0 ? scanned / seconds / 1e9 : 0.0,
                scan_paths::name(scan_paths::current()));
    return found ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvin-bench FILE TEXT\n");
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvin-bench: %s: %s\n", argv[1], error.what());
        return 2;
    }
}
