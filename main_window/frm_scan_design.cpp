#include "main_window/frm_scan.h"

namespace quorvin {

namespace {

using platform::Align;
using platform::Color;
using platform::ControlDesign;
using platform::ControlKind;

constexpr Color kPaleGreen{0xC0, 0xFF, 0xC0};
constexpr Color kPaleCyan{0xC0, 0xFF, 0xFF};

platform::WindowDesign makeDesign()
{
    platform::WindowDesign d;
    d.name = "FrmScan";
    d.caption = u"Recherche d'une chaîne de caractères dans un fichier";
    d.clientWidth = 6060;
    d.clientHeight = 3450;
    d.border = platform::Border::FixedSingle;
    d.icon = "app_icon";
    d.acceptsDroppedFiles = true;

    auto add = [&d](ControlDesign c) { d.controls.push_back(std::move(c)); };

    // One control a line or two, read as a table. Enter in the search text presses the button.
    // clang-format off
    add({.name = "Command2", .kind = ControlKind::PictureButton, .toolTip = u"Information auteur",
         .left = 4800, .top = 480, .width = 495, .height = 495, .tabIndex = 13, .picture = "about_button"});
    add({.name = "Command1", .kind = ControlKind::PictureButton, .toolTip = u"Quitter le programme",
         .left = 5400, .top = 480, .width = 495, .height = 495, .tabIndex = 10, .picture = "quit_button"});
    add({.name = "Frame1", .kind = ControlKind::Frame, .text = u"Informations sur la recherche",
         .left = 120, .top = 1200, .width = 5775, .height = 2055, .tabIndex = 3});
    add({.name = "Text4", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 720, .top = 360, .width = 4935, .height = 285, .tabIndex = 12, .readOnly = true,
         .background = kPaleGreen, .label = "Label5"});
    add({.name = "Text3", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 4440, .top = 1200, .width = 855, .height = 285, .tabIndex = 9, .visible = false,
         .background = kPaleGreen, .label = "Label4"});
    add({.name = "Text2", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 2160, .top = 720, .width = 975, .height = 285, .tabIndex = 7, .readOnly = true,
         .background = kPaleGreen, .label = "Label3"});
    add({.name = "Text1", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 4920, .top = 720, .width = 735, .height = 285, .tabIndex = 4, .readOnly = true,
         .background = kPaleGreen, .label = "Label2"});
    add({.name = "Label5", .kind = ControlKind::Label, .container = "Frame1", .text = u"Fichier :",
         .left = 120, .top = 480, .width = 555, .height = 195, .tabIndex = 11});
    add({.name = "Label4", .kind = ControlKind::Label, .container = "Frame1", .text = u"Octets par seconde :",
         .left = 2760, .top = 1200, .width = 1575, .height = 255, .tabIndex = 8, .visible = false,
         .align = Align::Right});
    add({.name = "Label3", .kind = ControlKind::Label, .container = "Frame1",
         .text = u"Taille du fichier  en octets :", .left = 120, .top = 840, .width = 1905, .height = 195,
         .tabIndex = 6, .align = Align::Right});
    add({.name = "Label2", .kind = ControlKind::Label, .container = "Frame1", .text = u"Temps de recherche :",
         .left = 3240, .top = 840, .width = 1575, .height = 255, .tabIndex = 5, .align = Align::Right});
    add({.name = "ScanString", .kind = ControlKind::TextBox,
         .left = 2760, .top = 120, .width = 3135, .height = 285, .tabIndex = 1, .background = kPaleCyan,
         .enterPresses = "Scan_Select", .label = "Label1"});
    add({.name = "Scan_Select", .kind = ControlKind::Button, .text = u"Sélectionner un fichier...",
         .toolTip = u"Choix du fichier pour effectuer la recherche",
         .left = 120, .top = 480, .width = 4575, .height = 495, .tabIndex = 0, .enabled = false});
    add({.name = "Label1", .kind = ControlKind::Label, .text = u"Chaîne de caractères à rechercher :",
         .left = 120, .top = 120, .width = 2580, .height = 195, .tabIndex = 2, .align = Align::Right});
    // Where the text was found, and its line (whole in the tool tip), below the rows above.
    add({.name = "Label6", .kind = ControlKind::Label, .container = "Frame1", .text = u"Trouvée :",
         .left = 120, .top = 1320, .width = 735, .height = 195, .tabIndex = 14});
    add({.name = "Text5", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 960, .top = 1200, .width = 4695, .height = 285, .tabIndex = 15, .readOnly = true,
         .background = kPaleGreen, .label = "Label6"});
    add({.name = "Label7", .kind = ControlKind::Label, .container = "Frame1", .text = u"Ligne :",
         .left = 120, .top = 1680, .width = 735, .height = 195, .tabIndex = 16});
    add({.name = "Text6", .kind = ControlKind::TextBox, .container = "Frame1",
         .left = 960, .top = 1560, .width = 4695, .height = 285, .tabIndex = 17, .readOnly = true,
         .background = kPaleGreen, .label = "Label7"});
    // clang-format on
    return d;
}

}  // namespace

const platform::WindowDesign& frmScanDesign()
{
    static const platform::WindowDesign design = makeDesign();
    return design;
}

}  // namespace quorvin
