#pragma once
// Windows and their controls, built from a design (window_design.h).
//
// The caller passes a design and the sink that receives the window's events, then reads and sets the
// controls' states by name. A front end calls the sink on the user-interface thread: Click for buttons,
// pictures and labels, Change for every change of a text box's text (typed or set by the program).
// The caller may rely on: create() returns a window that is not shown yet; showModal() returns once the
// window is unloaded, the owner taking no input meanwhile; a closed box unloads the window; the sink
// receives Unload when the window goes away. endProgram() ends the program at once: no further event.
// Failure: naming a control the design does not hold is a programming error (std::out_of_range).
#include <memory>
#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/window_design.h"

namespace quorvin::platform {

enum class Event { Click, Change, Unload };

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvent(std::string_view control, Event event) = 0;
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
    virtual void unload(Window& window) = 0;
    virtual void endProgram() = 0;
};

}  // namespace quorvin::platform
