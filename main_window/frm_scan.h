#pragma once
// FrmScan: the main window. There is exactly one; it hands itself to the search routines as the window
// they report to.
#include <memory>
#include <string>
#include <vector>

#include "platform/window_design.h"
#include "platform/window_system.h"
#include "search_module/scan_window.h"

namespace quorvin {

// The main window's design.
const platform::WindowDesign& frmScanDesign();

class FrmScan final : public platform::EventSink, public ScanOptioons::ScanWindow {
public:
    // Creates the window from its design and makes it the one instance; it is shown by show().
    FrmScan();
    ~FrmScan() override;
    FrmScan(const FrmScan&) = delete;
    FrmScan& operator=(const FrmScan&) = delete;

    void show();
    platform::Window& window() { return *window_; }
    platform::WindowHandle hWnd() const override { return window_->handle(); }

    platform::Control& Text1() override { return window_->control("Text1"); }  // search time
    platform::Control& Text2() override { return window_->control("Text2"); }  // file size
    platform::Control& Text3() override { return window_->control("Text3"); }  // bytes per second, not visible
    platform::Control& Text4() override { return window_->control("Text4"); }  // file path
    platform::Control& Text5() override { return window_->control("Text5"); }  // where the text was found
    platform::Control& Text6() override { return window_->control("Text6"); }  // the line it was found in
    platform::Control& ScanString() { return window_->control("ScanString"); }
    platform::Control& Scan_Select() { return window_->control("Scan_Select"); }

    // The path of the chosen file; empty until a file is chosen.
    std::u16string SelectedFile;

    void ScanString_Change();
    void Scan_Select_Click();
    // The designer's names stayed on the picture buttons: Command1 quits, Command2 opens the About window.
    void Command1_Click();
    void Command2_Click();
    void Form_Unload();
    // Both look at the file on a thread of their own (search::askFileSystem), the window alive meanwhile:
    // a file on a stalled mount keeps them waiting, never the window.
    void Form_OLEDragDrop(const std::vector<std::u16string>& paths);
    // The files the program was started with (« Ouvrir avec », a file dropped on the program's icon):
    // the first is chosen as a dropped file is, once its window shows; one that cannot be read is reported.
    void OpenWith(const std::vector<std::u16string>& paths);

    // The progress window, owned by this one.
    std::unique_ptr<ScanOptioons::ScanProgressReport> startProgress(const std::u16string& fileName,
                                                                    std::int64_t size) override;

    void onEvent(std::string_view control, platform::Event event) override;
    void onFilesDropped(const std::vector<std::u16string>& paths) override { Form_OLEDragDrop(paths); }

private:
    void chooseFile(const std::u16string& path);

    std::unique_ptr<platform::Window> window_;
};

}  // namespace quorvin
