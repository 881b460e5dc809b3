#pragma once
// Windows built from their designs with Qt Widgets: one generic builder for every window, and the
// modal and owned showing of windows.
#include <QIcon>
#include <atomic>
#include <functional>
#include <string>

#include "platform/window_system.h"

namespace quorvin::platform::qt {

class QtWindowSystem final : public WindowSystemService {
public:
    // `endProgram` ends the program; by default the application's event loops are left.
    explicit QtWindowSystem(std::function<void()> endProgram = {});

    std::unique_ptr<Window> create(const WindowDesign& design, EventSink& sink) override;
    void show(Window& window) override;
    void showModal(Window& window, Window& owner) override;
    void showOwned(Window& window, Window& owner) override;
    void waitForEvents(std::int64_t milliseconds, bool userInput) override;
    void wake() override;
    void unload(Window& window) override;
    void endProgram() override;

    // Once the program is ending, no window reports events any more.
    bool ended() const { return ended_; }

private:
    std::function<void()> endProgram_;
    bool ended_ = false;
    std::atomic<bool> woken_{false};
};

// The picture a design names, from the resources' /pictures folder: "name.png" and "name@2x.png", or the
// sizes "name_16.png" to "name_256.png" of an icon; its first size is the one it is designed at. Null when
// there is none.
QIcon pictureResource(const std::string& name);

}  // namespace quorvin::platform::qt
