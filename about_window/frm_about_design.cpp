#include "about_window/frm_about.h"

#include "about_window/maker.h"

namespace quorvin {

namespace {

using platform::Align;
using platform::Color;
using platform::ControlDesign;
using platform::ControlKind;
using platform::Font;

constexpr Color kBlack{0x00, 0x00, 0x00};
constexpr Color kGreen{0x00, 0xFF, 0x00};
constexpr Color kBlue{0x00, 0x00, 0xFF};
constexpr Color kRed{0xFF, 0x00, 0x00};
constexpr Color kGrey{0x80, 0x80, 0x80};
constexpr Color kWhite{0xFF, 0xFF, 0xFF};

Font comic(double points, bool bold = false)
{
    return {u"Comic Sans MS", points, bold};
}

platform::WindowDesign makeDesign()
{
    platform::WindowDesign d;
    d.name = "frmAbout";
    d.caption = u"A propos de Quorvin";
    d.clientWidth = 5730;
    d.clientHeight = 3360;
    d.border = platform::Border::FixedDialog;
    d.centerOnOwner = true;
    d.background = kBlack;
    d.icon = "app_icon";

    auto add = [&d](ControlDesign c) { d.controls.push_back(std::move(c)); };

    // One control a line or two, read as a table. The links take the focus where their tab indexes put
    // them; the donation picture, which has none, right after the web link above it.
    // clang-format off
    add({.name = "Command1", .kind = ControlKind::Button, .text = u"Détails...",
         .left = 3960, .top = 2280, .width = 1455, .height = 375, .tabIndex = 8, .font = comic(8.25)});
    add({.name = "cmdOK", .kind = ControlKind::Button, .text = u"OK",
         .left = 3960, .top = 1440, .width = 1500, .height = 585, .tabIndex = 0, .font = comic(8.25, true),
         .defaultButton = true, .cancelButton = true});
    add({.name = "cmdSysInfo", .kind = ControlKind::Button, .text = u"&Système Info...",
         .toolTip = u"Informations système",
         .left = 3960, .top = 2760, .width = 1485, .height = 345, .tabIndex = 1});
    add({.name = "Image2", .kind = ControlKind::Picture,
         .toolTip = u"Faire un don avec PayPal - Un solution gratuite, rapide et sécurisée.",
         .left = 1320, .top = 2520, .width = 1500, .height = 660, .tabAfter = "Label3", .picture = "donation",
         .handCursor = true,
         .accessibleName = u"Faire un don", .linkTarget = donationLink()});
    add({.name = "Label3", .kind = ControlKind::Label, .text = std::u16string(u"URL : ") + maker::kWebAddress,
         .toolTip = u"Visitez le site officiel ravendo",
         .left = 1080, .top = 1680, .width = 2115, .height = 225, .tabIndex = 7, .foreground = kBlue,
         .font = comic(8.25), .align = Align::Center, .handCursor = true, .linkTarget = webSiteLink()});
    add({.name = "Image1", .kind = ControlKind::Picture,
         .left = 120, .top = 240, .width = 720, .height = 720, .picture = "app_icon", .stretchPicture = true,
         .accessibleName = u"Icône de Quorvin"});
    add({.name = "Label2", .kind = ControlKind::Label, .text = u"Logiciel FREEWARE",
         .left = 600, .top = 2040, .width = 2775, .height = 255, .tabIndex = 6, .foreground = kRed,
         .font = comic(9.75, true), .align = Align::Center});
    add({.name = "Line1(1)", .kind = ControlKind::Line,
         .left = 0, .top = 1217, .width = 5564, .height = 1217, .foreground = kGrey, .lineWidth = 1});
    add({.name = "lblDescription", .kind = ControlKind::Label, .text = maker::kAuthorNotice,
         .left = 1080, .top = 840, .width = 3885, .height = 330, .tabIndex = 2, .foreground = kGreen,
         .font = comic(8.25)});
    add({.name = "lblTitle", .kind = ControlKind::Label, .text = u"Titre de l'application",
         .left = 1080, .top = 120, .width = 3885, .height = 240, .tabIndex = 4, .foreground = kGreen,
         .font = comic(9.75, true)});
    add({.name = "Line1(0)", .kind = ControlKind::Line,
         .left = 0, .top = 1200, .width = 5549, .height = 1200, .foreground = kWhite, .lineWidth = 2});
    add({.name = "lblVersion", .kind = ControlKind::Label, .text = u"Version 1.1.0",
         .left = 1050, .top = 480, .width = 3885, .height = 225, .tabIndex = 5, .foreground = kGreen,
         .font = comic(8.25)});
    add({.name = "lblDisclaimer", .kind = ControlKind::Label,
         .text = std::u16string(u"E-Mail : ") + maker::kMailAddress, .toolTip = u"Envoyer un courriel",
         .left = 600, .top = 1320, .width = 2625, .height = 225, .tabIndex = 3, .foreground = kBlue,
         .font = comic(8.25), .align = Align::Center, .handCursor = true, .linkTarget = mailLink()});
    // clang-format on
    return d;
}

}  // namespace

std::u16string webSiteLink()
{
    return maker::kWebAddress;
}

std::u16string donationLink()
{
    return webSiteLink() + u"/Don/Don.htm";
}

std::u16string mailLink()
{
    return std::u16string(u"mailto:") + maker::kMailAddress;
}

const platform::WindowDesign& frmAboutDesign()
{
    static const platform::WindowDesign design = makeDesign();
    return design;
}

}  // namespace quorvin
