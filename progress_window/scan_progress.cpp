#include "progress_window/scan_progress.h"

#include "platform/services.h"
#include "search_module/number_text.h"

namespace quorvin {

namespace {

using platform::services;

platform::WindowDesign makeDesign()
{
    using platform::ControlKind;
    platform::WindowDesign d;
    d.name = "frmProgress";
    d.caption = u"Recherche en cours...";
    d.clientWidth = 4800;
    d.clientHeight = 1560;
    d.border = platform::Border::FixedDialog;
    d.centerOnOwner = true;
    d.icon = "app_icon";
    // One control a line or two, read as a table.
    // clang-format off
    d.controls = {
        {.name = "lblFile", .kind = ControlKind::Label, .left = 120, .top = 120, .width = 4560, .height = 255},
        {.name = "barProgress", .kind = ControlKind::ProgressBar, .text = u"0",
         .left = 120, .top = 480, .width = 4560, .height = 285, .accessibleName = u"Progression de la recherche"},
        {.name = "lblStatus", .kind = ControlKind::Label, .left = 120, .top = 870, .width = 4560, .height = 255},
        {.name = "cmdCancel", .kind = ControlKind::Button, .text = u"Annuler",
         .left = 3360, .top = 1140, .width = 1320, .height = 345, .tabIndex = 0, .defaultButton = true,
         .cancelButton = true},
    };
    // clang-format on
    return d;
}

int percent(std::int64_t part, std::int64_t whole)
{
    return whole <= 0 ? 0 : static_cast<int>(part * 100 / whole);  // an unknown size shows no share
}

std::u16string grouped(std::int64_t value)
{
    const std::u16string digits = integerToText(value);
    std::u16string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text.push_back(u'\u00A0');
        }
        text.push_back(digits[i]);
    }
    return text;
}

}  // namespace

const platform::WindowDesign& frmProgressDesign()
{
    static const platform::WindowDesign design = makeDesign();
    return design;
}

std::u16string progressStatus(std::int64_t bytesRead, std::int64_t size)
{
    if (size <= 0) {
        return grouped(bytesRead) + u" octets lus";
    }
    return grouped(bytesRead) + u" octets lus sur " + grouped(size) + u" (" + integerToText(percent(bytesRead, size)) +
           u"\u00A0%)";
}

ScanProgress::ScanProgress(platform::Window& owner, std::u16string fileName, std::int64_t size)
    : owner_(owner), fileName_(std::move(fileName)), size_(size), started_(services().clock->steadyMilliseconds())
{
}

ScanProgress::~ScanProgress()
{
    if (window_) {
        services().windows->unload(*window_);
    }
}

bool ScanProgress::onTick(std::int64_t bytesRead)
{
    const std::int64_t now = services().clock->steadyMilliseconds();
    if (!window_ && now - started_ >= kShowAfterMilliseconds) {
        window_ = services().windows->create(frmProgressDesign(), *this);
        window_->control("lblFile").setText(u"Fichier : " + fileName_);
        refresh(bytesRead);
        services().windows->showOwned(*window_, owner_);
    } else if (window_) {
        refresh(bytesRead);
    }
    // Until the window shows, input waits: the main window takes none during a search. The search's thread
    // wakes the wait as it ends.
    services().windows->waitForEvents(kTickMilliseconds, window_ != nullptr);
    return !cancelled_;
}

void ScanProgress::refresh(std::int64_t bytesRead)
{
    window_->control("barProgress").setText(integerToText(percent(bytesRead, size_)));
    window_->control("lblStatus").setText(progressStatus(bytesRead, size_));
}

void ScanProgress::onEvent(std::string_view control, platform::Event event)
{
    // Annuler, Escape and the close box all stop the search.
    if ((control == "cmdCancel" && event == platform::Event::Click) || event == platform::Event::Unload) {
        cancelled_ = true;
    }
}

}  // namespace quorvin
