// quorvin-filter-bench FILE MIB TEXT...: the block scanner's own cost, apart from the system's reads.
// Copies the first MIB MiB of FILE, a read's size at a time, into one page-aligned block (as a read
// does) and feeds each block to the scanner, on every search path; prints, per GiB, the time of the
// copies alone and what the scan adds to them (the fastest of several rounds, in thread CPU time, so
// that other work on the machine weighs little), and the time to choose the anchors on the first
// block. TEXT is UTF-8. With QUORVIN_FOUR_FORMS set, the scanner looks for every form of the text (the
// code page's, UTF-8, UTF-16 in both byte orders), as the program does; otherwise the code page's alone.
// quorvin-filter-bench --describe FILE TEXT: prints the plan a search of FILE for TEXT follows, every form
// and its filter's anchors, as chosen on the file's first block.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "platform/posix/native_path.h"
#include "scanner/anchor_filter.h"
#include "scanner/block_scanner.h"
#include "scanner/candidate_pass.h"
#include "search_module/scan_options.h"

namespace {

using namespace quorvin;

constexpr std::size_t kBlock = ScanOptioons::BlockSize;
// QUORVIN_ROUNDS rounds (default 7); QUORVIN_PATH names the only search path to time.
const int kRounds = std::getenv("QUORVIN_ROUNDS") ? std::atoi(std::getenv("QUORVIN_ROUNDS")) : 7;
const bool kCopy = std::getenv("QUORVIN_NO_COPY") == nullptr;  // set: the block stays in the first-level cache
const char* const kOnlyPath = std::getenv("QUORVIN_PATH");
const bool kFourForms = std::getenv("QUORVIN_FOUR_FORMS") != nullptr;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Fastest of kRounds runs of `round`, in milliseconds per GiB of `bytes`.
template <typename Round>
double msPerGiB(std::size_t bytes, Round round)
{
    double best = 1e30;
    for (int r = 0; r < kRounds; ++r) {
        const double start = cpuSeconds();
        round();
        best = std::min(best, cpuSeconds() - start);
    }
    return best * 1e3 * (1u << 30) / static_cast<double>(bytes);
}

}  // namespace

// Prints the plan a search of FILE for TEXT follows, chosen on the file's first block as the program does.
int describe(const char* fileName, const char* text)
{
    std::vector<char> first(kBlock);
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "quorvin-filter-bench: cannot read %s\n", fileName);
        return 2;
    }
    in.read(first.data(), static_cast<std::streamsize>(first.size()));
    BlockScanner scanner(platform::posix::fromNativePath(text), CodePage::windows1252());
    const bool found =
        scanner.feed({reinterpret_cast<const std::uint8_t*>(first.data()), static_cast<std::size_t>(in.gcount())});
    std::printf("path: %s\n%s%s", scan_paths::name(scan_paths::current()), scanner.describe().c_str(),
                found ? "found in the first block\n" : "");
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--describe") == 0) {
        return describe(argv[2], argv[3]);
    }
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: quorvin-filter-bench FILE MIB TEXT...\n"
                     "       quorvin-filter-bench --describe FILE TEXT\n");
        return 2;
    }
    std::size_t size = std::stoul(argv[2]) << 20;
    std::vector<char> data(size);
    std::ifstream in(argv[1], std::ios::binary);
    in.read(data.data(), static_cast<std::streamsize>(size));
    size = static_cast<std::size_t>(in.gcount()) / kBlock * kBlock;
    auto* block = static_cast<std::uint8_t*>(::operator new (kBlock, std::align_val_t{4096}));

    const double copy = msPerGiB(size, [&] {
        for (std::size_t at = 0; at < size; at += kBlock) {
            std::memcpy(block, data.data() + at, kBlock);
            asm volatile("" ::"r"(block) : "memory");
        }
    });
    std::printf("%-40s copies alone %6.1f ms/GiB\n", "", copy);
    const ByteTable& fold = CodePage::windows1252().foldTable();
    for (int t = 3; t < argc; ++t) {
        const std::u16string typed = platform::posix::fromNativePath(argv[t]);
        const std::optional<std::string> text = CodePage::windows1252().encode(typed);
        if (!text && !kFourForms) continue;
        std::printf("%-40s", argv[t]);
        for (scan_paths::Path path : scan_paths::supported()) {
            if (path == scan_paths::Path::Scalar ||
                (kOnlyPath != nullptr && std::strcmp(kOnlyPath, scan_paths::name(path)) != 0)) {
                continue;
            }
            scan_paths::use(path);
            bool found = false;
            const double scan = msPerGiB(size, [&] {
                BlockScanner scanner =
                    kFourForms ? BlockScanner(typed, CodePage::windows1252()) : BlockScanner(*text, fold);
                found = false;
                for (std::size_t at = 0; at < size && !found; at += kBlock) {
                    if (kCopy) std::memcpy(block, data.data() + at, kBlock);
                    found = scanner.feed({block, kBlock});
                }
            });
            std::printf(" %s +%5.1f%s", scan_paths::name(path), scan - copy, found ? " found" : "");
        }
        // Choosing the anchors on the first block, once per search: the fastest of many.
        if (!text) {
            std::printf("\n");
            continue;
        }
        std::string folded = *text;
        for (char& c : folded) c = static_cast<char>(fold[static_cast<std::uint8_t>(c)]);
        AnchorFilter filter(folded, fold);
        double choice = 1e30;
        for (int r = 0; r < 50; ++r) {
            const double start = cpuSeconds();
            filter.rank({reinterpret_cast<const std::uint8_t*>(data.data()), std::min(size, kBlock)});
            choice = std::min(choice, cpuSeconds() - start);
        }
        std::printf(" choice %.0f us", choice * 1e6);
        std::printf("\n");
    }
    ::operator delete (block, std::align_val_t{4096});
}
