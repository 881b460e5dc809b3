#pragma once
// The window a search reports to. The main window hands itself over when it is made, so the search knows
// nothing of the windows above it: it writes the path, the size and the figures into the fields named
// here, gives its message boxes hWnd() as their owner, and shows its progress through startProgress().
#include <cstdint>
#include <memory>
#include <string>

#include "platform/handles.h"
#include "platform/window_system.h"

namespace quorvin::ScanOptioons {

// Progress shown while a search runs; the display goes when the object is destroyed.
class ScanProgressReport {
public:
    static constexpr std::int64_t kTickMilliseconds = 50;

    virtual ~ScanProgressReport() = default;
    // Called over and over while the file is read, with the bytes read so far: shows or refreshes the
    // progress, then handles the windows' events as they come for up to kTickMilliseconds, or until the
    // window system is woken (the search's thread wakes it as it ends). False once the user has cancelled.
    virtual bool onTick(std::int64_t bytesRead) = 0;
    // The file's size, once its open told it: the progress starts before the file is open.
    virtual void sizeKnown(std::int64_t size) = 0;
};

class ScanWindow {
public:
    virtual ~ScanWindow() = default;
    virtual platform::WindowHandle hWnd() const = 0;
    virtual platform::Control& Text1() = 0;  // search time
    virtual platform::Control& Text2() = 0;  // file size
    virtual platform::Control& Text3() = 0;  // bytes per second
    virtual platform::Control& Text4() = 0;  // file path
    virtual platform::Control& Text5() = 0;  // where the text was found
    virtual platform::Control& Text6() = 0;  // the line it was found in
    virtual std::unique_ptr<ScanProgressReport> startProgress(const std::u16string& fileName, std::int64_t size) = 0;
};

// The window the search routines report to from now on; nullptr when it goes.
void setScanWindow(ScanWindow* window);

}  // namespace quorvin::ScanOptioons
