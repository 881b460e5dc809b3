#pragma once
// Opens, reads and scans a file on a thread of its own, so that an open or a read that waits (a stalled
// network or FUSE file system) never holds up the windows: the user-interface thread waits for the scan a
// little at a time and keeps the program alive in between. A scan given up is left to end on its own: its thread
// stops after the read under way, closes the file and goes, whatever became of the program meanwhile.
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "platform/binary_file.h"
#include "readers/content_search.h"
#include "scanner/first_occurrence.h"
#include "scanner/text_place.h"
#include "search_module/off_thread.h"
#include "search_module/scan_options.h"

namespace quorvin {

class BlockScanner;

struct ScanOutcome {
    ScanOptioons::ScanResult result = ScanOptioons::ScanResult::NotFound;
    bool opened = false;          // the file was open when the scan ended or failed
    std::int64_t lengthTold = 0;  // the size it told once open
    std::int64_t bytesRead = 0;
    bool reachedEnd = false;        // a read came back short: the file's real end was met
    std::int64_t lengthAtEnd = 0;   // the file's size once the text was found
    std::exception_ptr failure;     // what the file threw, a platform::FileError as a rule
    std::uint64_t unreadCount = 0;  // parts of the file that could not be searched inside
    std::vector<readers::UnreadPart> unread;
    std::optional<readers::FoundPlace> place;  // where the text first occurs, once found where it is located
};

// What a search looks for inside a file once its own bytes did not hold the text.
struct InsideSearch {
    std::u16string text;
    const CodePage* codePage;
    std::u16string fileName;  // names the file where it cannot be read inside
};

// What finds the place of a text found in the file's own bytes: the forms the scanner looks for.
struct Locating {
    std::unique_ptr<const FirstOccurrence> locator;
    const CodePage* codePage;
};

// Opens the file, on the scan's thread.
using FileOpener = std::function<std::unique_ptr<platform::BinaryFile>()>;

class BackgroundScan {
public:
    // Opens the file and, with `scanner` if one is given, scans it to the end of the size it tells (to its
    // real end where it tells 0, as /proc's files do), then, where the text was not found there, what a
    // file of some size holds inside, if `inside` is given. The bytes read so far count the second
    // search's reads from the file's start again.
    // Where `locating` is given and the text is found, what holds it is read again to tell its place.
    BackgroundScan(FileOpener open, std::unique_ptr<BlockScanner> scanner, std::optional<InsideSearch> inside = {},
                   std::optional<Locating> locating = {});
    // Gives the scan up if it is still under way.
    ~BackgroundScan();
    BackgroundScan(const BackgroundScan&) = delete;
    BackgroundScan& operator=(const BackgroundScan&) = delete;

    // Waits at most `milliseconds` for the scan to end; true once it has, the file closed.
    bool waitFor(std::int64_t milliseconds);
    // The bytes read so far.
    std::int64_t bytesRead() const;
    // The size the file told once it was open; nothing before.
    std::optional<std::int64_t> length() const;
    // Gives the scan up at once: its thread stops before its next read.
    void abandon();
    // How the scan ended; only once waitFor() said it has.
    const ScanOutcome& outcome() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    // Joined once the scan is over, so that it holds nothing of the system's when the user is told;
    // left to end on its own when the scan is given up.
    OffThread thread_;
};

}  // namespace quorvin
