#pragma once
// Keeps a long search alive on screen: the program repaints while the file is read, a small window
// owned by the main window shows the progress once the search has run half a second, and its "Annuler"
// button stops the search.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/window_design.h"
#include "platform/window_system.h"
#include "search_module/scan_window.h"

namespace quorvin {

const platform::WindowDesign& frmProgressDesign();

class ScanProgress final : public platform::EventSink, public ScanOptioons::ScanProgressReport {
public:
    static constexpr std::int64_t kShowAfterMilliseconds = 500;

    // `size` 0: the file's size is not known.
    ScanProgress(platform::Window& owner, std::u16string fileName, std::int64_t size);
    ~ScanProgress() override;
    ScanProgress(const ScanProgress&) = delete;
    ScanProgress& operator=(const ScanProgress&) = delete;

    bool onTick(std::int64_t bytesRead) override;
    void sizeKnown(std::int64_t size) override { size_ = size; }

    void onEvent(std::string_view control, platform::Event event) override;

private:
    void refresh(std::int64_t bytesRead);

    platform::Window& owner_;
    std::u16string fileName_;
    std::int64_t size_;
    std::int64_t started_;
    std::unique_ptr<platform::Window> window_;
    bool cancelled_ = false;
};

// "1 234 567 octets lus sur 9 876 543 (12 %)", digits grouped by no-break spaces; "1 234 567 octets lus"
// when the size is not known (0).
std::u16string progressStatus(std::int64_t bytesRead, std::int64_t size);

}  // namespace quorvin
