#pragma once
// frmAbout: the modal About window. It is loaded at every opening and unloaded when it closes.
#include <memory>
#include <string>

#include "platform/registry.h"
#include "platform/window_design.h"
#include "platform/window_system.h"

namespace quorvin {

// The About window's design.
const platform::WindowDesign& frmAboutDesign();

// What the About window's links open.
std::u16string webSiteLink();
std::u16string donationLink();
std::u16string mailLink();

class frmAbout final : public platform::EventSink {
public:
    // Loads the window: creates it from its design, then runs Form_Load.
    frmAbout();
    ~frmAbout() override;
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    // Shows the window modally over `owner`; returns once it is unloaded.
    void showModal(platform::Window& owner);
    platform::Window& window() { return *window_; }

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Command1_Click();  // « Détails... », the designer's name kept
    void Image2_Click();
    void Label3_Click();
    void lblDisclaimer_Click();  // opens a new mail: the label under this old name shows the mail address

    // Starts the system-information tool, or tells the user it cannot be found.
    void StartSysInfo();

    // Reads the registry value `SubKeyRef` of `KeyName` under `KeyRoot` as text into `KeyVal`.
    // False, with `KeyVal` empty, when the key or the value cannot be read or the value is empty.
    bool GetKeyValue(platform::RegistryKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                     std::u16string& KeyVal);

    void onEvent(std::string_view control, platform::Event event) override;

private:
    std::unique_ptr<platform::Window> window_;
};

}  // namespace quorvin
