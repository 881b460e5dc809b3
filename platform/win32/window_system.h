#pragma once
// Renders any window design as a Win32 window with real controls, and runs the message loop.
//
// Control identifiers follow the design order from 100: the design's first control is 100, the next 101,
// and so on (lines included, though they are drawn, not created), so that a test or an accessibility tool
// can find a control with GetDlgItem.
#include <windows.h>

#include "platform/win32/scoped_handles.h"
#include "platform/window_system.h"

namespace quorvin::platform::win32 {

inline constexpr int kFirstControlId = 100;

class NativeWindow;

class WindowSystem final : public WindowSystemService {
public:
    explicit WindowSystem(HINSTANCE instance);

    std::unique_ptr<Window> create(const WindowDesign& design, EventSink& sink) override;
    void show(Window& window) override;
    void showModal(Window& window, Window& owner) override;
    void showOwned(Window& window, Window& owner) override;
    void waitForEvents(std::int64_t milliseconds, bool userInput) override;
    void wake() override;
    void unload(Window& window) override;
    void endProgram() override;

    // Handles the program's messages until endProgram; returns the exit code.
    int run();

    HINSTANCE instance() const { return instance_; }
    bool ending() const { return ending_; }

private:
    void showOver(NativeWindow& window, NativeWindow& owner);
    void dispatch(const MSG& message);
    // Handles the messages pending; false once the quit message came.
    bool handlePending(bool userInput);

    HINSTANCE instance_;
    NativeWindow* owned_ = nullptr;  // the window showOwned put up, until it is unloaded
    bool ending_ = false;
    ScopedHandle woken_;  // an auto-reset event, set by wake()
};

}  // namespace quorvin::platform::win32
