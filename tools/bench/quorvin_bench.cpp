// quorvin-bench [--code-page-only] [--path=scalar|sse2|avx2|avx512] FILE TEXT: runs the program's own
// block scan over FILE, as a search does, and times it. TEXT is UTF-8; it is looked for in Windows-1252,
// UTF-8, UTF-16LE and UTF-16BE, or with --code-page-only in Windows-1252 alone. --path forces a search
// path. Prints "found" or "not found", then bytes, seconds, GB/s and the processor's search path.
// Exit status: 0 found, 1 not found, 2 error.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "encoding/code_page.h"
#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "scanner/anchor_filter.h"
#include "scanner/block_scanner.h"
#include "search_module/scan_options.h"

namespace {

using namespace quorvin;

int run(const char* fileName, const char* text, bool unicode)
{
    const std::u16string typed = platform::posix::fromNativePath(text);
    platform::posix::PosixBinaryFiles files;
    const auto started = std::chrono::steady_clock::now();
    auto file = files.openRead(platform::posix::fromNativePath(fileName));
    const std::int64_t length = file->length();
    auto result = ScanOptioons::ScanResult::NotFound;
    std::int64_t scanned = 0;
    BlockScanner scanner(typed, CodePage::windows1252(), unicode);
    if (typed.size() <= ScanOptioons::BlockSize && scanner.searches()) {
        result = ScanOptioons::ScanBlocks(*file, length, scanner, {}, &scanned);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const bool found = result == ScanOptioons::ScanResult::Found;
    std::printf("%s\n%lld bytes\n%.6f s\n%.3f GB/s\npath: %s\n", found ? "found" : "not found",
                static_cast<long long>(scanned), seconds, seconds > 0 ? scanned / seconds / 1e9 : 0.0,
                scan_paths::name(scan_paths::current()));
    return found ? 0 : 1;
}

int usage()
{
    std::fprintf(stderr, "usage: quorvin-bench [--code-page-only] [--path=scalar|sse2|avx2|avx512] FILE TEXT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool unicode = true;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string_view option = argv[first];
        if (option == "--code-page-only") {
            unicode = false;
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
        return run(argv[first], argv[first + 1], unicode);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvin-bench: %s: %s\n", argv[first], error.what());
        return 2;
    }
}
