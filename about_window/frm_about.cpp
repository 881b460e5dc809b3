#include "about_window/frm_about.h"

#include <array>
#include <exception>
#include <string>

#include "about_window/maker.h"
#include "platform/event_binding.h"
#include "platform/services.h"
#include "search_module/number_text.h"

namespace quorvin {

namespace {

using platform::services;

constexpr std::array<platform::Binding<frmAbout>, 6> kBindings{{
    {"cmdOK", platform::Event::Click, &frmAbout::cmdOK_Click},
    {"cmdSysInfo", platform::Event::Click, &frmAbout::cmdSysInfo_Click},
    {"Command1", platform::Event::Click, &frmAbout::Command1_Click},
    {"Image2", platform::Event::Click, &frmAbout::Image2_Click},
    {"Label3", platform::Event::Click, &frmAbout::Label3_Click},
    {"lblDisclaimer", platform::Event::Click, &frmAbout::lblDisclaimer_Click},
}};

void openLink(platform::Window& window, const std::u16string& target)
{
    services().shellOpen->open(window.handle(), u"Open", target, u"", services().application->executableFolder(), 1);
}

}  // namespace

frmAbout::frmAbout() : window_(services().windows->create(frmAboutDesign(), *this))
{
    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::showModal(platform::Window& owner)
{
    services().windows->showModal(*window_, owner);
}

void frmAbout::onEvent(std::string_view control, platform::Event event)
{
    platform::dispatch(kBindings, *this, control, event);
}

void frmAbout::Form_Load()
{
    platform::ApplicationService& app = *services().application;
    const platform::Version version = app.version();
    window_->setCaption(u"A propos " + app.title());
    window_->control("lblVersion")
        .setText(u"Version " + integerToText(version.major) + u"." + integerToText(version.minor) + u"." +
                 integerToText(version.revision));
    window_->control("lblTitle").setText(app.title());
}

void frmAbout::cmdOK_Click()
{
    services().windows->unload(*window_);
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::Command1_Click()
{
    const std::u16string details = std::u16string(u"Quorvin version 1.1.0") + u"\r" +
                                   u"Rechercher une chaîne de caratères dans un fichier" + u"\r" + u"\r" +
                                   maker::kAuthorLine + u"\r" + u"E-Mail : " + maker::kMailAddress + u"\r" + u"Url : " +
                                   maker::kWebAddress + u"\r" + u"\r" + u"Logiciel FREEWARE";
    services().titledMessageBox->show(details, platform::kStyleInformation, u"A propos");
}

void frmAbout::Image2_Click()
{
    openLink(*window_, donationLink());
}

void frmAbout::Label3_Click()
{
    openLink(*window_, webSiteLink());
}

void frmAbout::lblDisclaimer_Click()
{
    try {
        services().shellOpen->open(window_->handle(), u"Open", mailLink(), u"0", u"0", 1);
    } catch (const std::exception&) {
        // A missing mail client is not the About window's business.
    }
}

}  // namespace quorvin
