#pragma once
// Windows and their controls, built from a design (window_design.h).
//
// The caller passes a design and the sink that receives the window's events, then reads and sets the
// controls' states by name. A front end calls the sink on the user-interface thread: Click for buttons,
// pictures and labels, Change for every change of a text box's text (typed or set by the program).
// The caller may rely on: create() returns a window that is not shown yet; showModal() returns once the
// window is unloaded, the owner taking no input meanwhile; showOwned() shows a window over its owner and
// returns at once, the owner taking no input until it is unloaded; a closed box unloads a window; the sink
// receives Unload when the window goes away. waitForEvents() handles events as they come (what is pending
// first) for at most `milliseconds`, and returns earlier once wake() was called, from any thread, since it
// last returned, or once the program is ending: windows repaint and the desktop sees the program alive;
// user input is handled only when `userInput` is true (and then, while an owned window is up, only by
// that window). unload() of a window already unloaded does nothing.
// endProgram() ends the program at once. Failure: naming a control the design does not hold is a programming error
// (std::out_of_range).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"
#include "platform/window_design.h"

namespace quorvin::platform {

enum class Event { Click, Change, Unload };

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvent(std::string_view control, Event event) = 0;
    // Local paths of what the user dropped on a window whose design accepts dropped files.
    virtual void onFilesDropped(const std::vector<std::u16string>& /*paths*/) {}
};

class Control {
public:
    virtual ~Control() = default;
    virtual std::u16string text() const = 0;
    virtual void setText(std::u16string_view text) = 0;
    virtual std::u16string toolTip() const = 0;
    virtual void setToolTip(std::u16string_view toolTip) = 0;
    virtual bool enabled() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual std::u16string caption() const = 0;
    virtual void setCaption(std::u16string_view caption) = 0;
    virtual Control& control(std::string_view name) = 0;
    virtual WindowHandle handle() const = 0;
};

class WindowSystemService {
public:
    virtual ~WindowSystemService() = default;
    virtual std::unique_ptr<Window> create(const WindowDesign& design, EventSink& sink) = 0;
    virtual void show(Window& window) = 0;
    virtual void showModal(Window& window, Window& owner) = 0;
    virtual void showOwned(Window& window, Window& owner) = 0;
    virtual void waitForEvents(std::int64_t milliseconds, bool userInput) = 0;
    virtual void wake() = 0;
    virtual void unload(Window& window) = 0;
    virtual void endProgram() = 0;
};

}  // namespace quorvin::platform
