#pragma once
// ScanOptioons: the routines the windows share to choose a file and to search it. The two o's are the
// product's own spelling of the module's name.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/binary_file.h"
#include "platform/handles.h"
#include "scanner/block_scanner.h"

namespace quorvin::ScanOptioons {

// The most bytes read at a time: whole pages, few system calls. On a 1 GiB file in the page cache (`tenant`,
// AVX2), reads of 32000 bytes took 153 ms, 128 KiB 137 ms, 256 KiB 134, 512 KiB 130 and 1 MiB 125 against
// `cat`'s 100 (hyperfine, 10 runs, wall and processor time alike). The block is not what limits a text's
// length (LongestText is), and occurrences across blocks are found: its size shows nowhere else.
inline constexpr std::size_t BlockSize = 1 << 20;

// The reads start smaller and grow, because each page of the buffer costs a fault the first time a read
// fills it: on this machine's virtual processors about 10 µs, so that reading the first MiB of a cached file
// in one read took 4.1 ms and in reads of 32 KiB 0.39 ms (the best of 5). A text found near the start, or a
// small file, is thus no slower than with the earlier 32000-byte reads (`CAFÉ` in the bench's UTF-8 file,
// found at its 4140th byte: 6.0 ms against 6.1, where a first read of 64 KiB took 6.5, hyperfine, 60 runs;
// 1 MiB reads from the start took 442 page faults against 205). A large file reaches BlockSize once the faults are paid
// many times over: the size doubles once the bytes read reach ReadsBeforeGrowing times it, so 1 MiB reads start past
// 128 MiB. Reading 10 MiB took 3.0 ms in reads of 32 KiB against 5.2 ms in reads of 1 MiB; 512 MiB, 67 ms against 43.
inline constexpr std::size_t FirstReadSize = 32 << 10;
inline constexpr std::int64_t ReadsBeforeGrowing = 256;

// The most characters a search text may hold: a longer one is never found.
inline constexpr std::size_t LongestText = 32000;

// The characters of `text` as they were typed: a surrogate pair is one, and so is a surrogate that is not
// half of one.
std::size_t typedLength(std::u16string_view text);

enum class ScanResult { Found, NotFound, Cancelled };

// Called after each block with the bytes read so far; returning false stops the scan.
using BlockObserver = std::function<bool(std::int64_t bytesRead)>;

// A length for files whose size cannot be told: read to their real end.
inline constexpr std::int64_t kToTheEnd = INT64_MAX;

// Feeds `file` to `scanner` block by block from its start, until the text occurs or `length` bytes are
// read; a file that shrinks meanwhile ends at its real end. `bytesRead`, when given, receives the number
// of bytes read, and `reachedEnd` whether a read came back short (the file's real end was met). Errors of
// the file pass through as platform::FileError. The reads grow from FirstReadSize up to `blockSize`, which
// is other than BlockSize only where a test wants many seams in a small file.
ScanResult ScanBlocks(platform::BinaryFile& file, std::int64_t length, BlockScanner& scanner,
                      const BlockObserver& observer = {}, std::int64_t* bytesRead = nullptr,
                      std::size_t blockSize = BlockSize, bool* reachedEnd = nullptr);

// Searches `path` for `text`, tells the user the outcome in a message box owned by the main window, and
// writes the file's path and size, and after a search that found nothing the search time and throughput,
// into the main window's fields.
void ScanFile(const std::u16string& path, const std::u16string& text);

// Lets the user choose a file; returns its path, or the empty text when the dialog was cancelled.
// A chosen path also shows in the main window's file field at once.
std::u16string ShowOpenDialog(platform::WindowHandle owner, const std::u16string& filter, const std::u16string& title,
                              const std::u16string& initialDir);

}  // namespace quorvin::ScanOptioons
