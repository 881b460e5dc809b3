#include "main_window/frm_scan.h"

#include <array>
#include <optional>

#include "about_window/frm_about.h"
#include "platform/event_binding.h"
#include "platform/services.h"
#include "progress_window/scan_progress.h"
#include "search_module/messages.h"
#include "search_module/off_thread.h"
#include "search_module/scan_options.h"
#include "search_module/search_state.h"

namespace quorvin {

namespace {

// The button's caption is its mode. The product writes this one without the accent of the design's first
// caption « Sélectionner un fichier... », so a first click takes the path of « Lancer la recherche... »,
// finds no file chosen, and opens the dialog from there.
constexpr char16_t kChooseFileCaption[] = u"Selectionner un fichier...";
constexpr char16_t kChooseFileToolTip[] = u"Choix du fichier pour effectuer la recherche";
constexpr char16_t kReadyCaption[] = u"Lancer la recherche...";
constexpr char16_t kReadyToolTip[] = u"Lance la recherche dans le fichier sélectionné";

constexpr std::array<platform::Binding<FrmScan>, 5> kBindings{{
    {"ScanString", platform::Event::Change, &FrmScan::ScanString_Change},
    {"Scan_Select", platform::Event::Click, &FrmScan::Scan_Select_Click},
    {"Command1", platform::Event::Click, &FrmScan::Command1_Click},
    {"Command2", platform::Event::Click, &FrmScan::Command2_Click},
    {"", platform::Event::Unload, &FrmScan::Form_Unload},
}};

}  // namespace

FrmScan::FrmScan() : window_(platform::services().windows->create(frmScanDesign(), *this))
{
    ScanOptioons::setScanWindow(this);
}

FrmScan::~FrmScan()
{
    ScanOptioons::setScanWindow(nullptr);
}

void FrmScan::show()
{
    platform::services().windows->show(*window_);
}

std::unique_ptr<ScanOptioons::ScanProgressReport> FrmScan::startProgress(const std::u16string& fileName,
                                                                         std::int64_t size)
{
    return std::make_unique<ScanProgress>(*window_, fileName, size);
}

void FrmScan::onEvent(std::string_view control, platform::Event event)
{
    platform::dispatch(kBindings, *this, control, event);
}

void FrmScan::ScanString_Change()
{
    Scan_Select().setEnabled(!ScanString().text().empty());
}

void FrmScan::Scan_Select_Click()
{
    if (search::running()) {
        return;  // one search at a time, whatever pressed the button
    }
    if (Scan_Select().text() == kChooseFileCaption) {
        SelectedFile = ScanOptioons::ShowOpenDialog(hWnd(), u"Tous les fichiers (*.*)|*.*|", u"Ouvrir un fichier", u"");
        if (!SelectedFile.empty()) {
            Scan_Select().setText(kReadyCaption);
            Scan_Select().setToolTip(kReadyToolTip);
        }
        return;
    }
    if (ScanString().text().empty()) {
        platform::services().messageBox->show(hWnd(), u"ERREUR: Entrez la chaîne de caractères à rechercher.",
                                              u"Pas de chaîne de caractères à rechercher", platform::kMessageOk);
        return;
    }
    const bool fileChosen = !SelectedFile.empty();
    if (fileChosen) {
        Text4().setText(SelectedFile);
        ScanOptioons::ScanFile(SelectedFile, ScanString().text());
    }
    Scan_Select().setText(kChooseFileCaption);
    Scan_Select().setToolTip(kChooseFileToolTip);
    if (!fileChosen) {
        Scan_Select_Click();  // now in ChooseFile: opens the dialog
    }
}

void FrmScan::Form_OLEDragDrop(const std::vector<std::u16string>& paths)
{
    // One dropped file does what choosing it in the dialog does; anything else is ignored, as is a drop
    // during a search.
    if (search::running() || paths.size() != 1) {
        return;
    }
    const std::u16string path = paths.front();
    if (search::askFileSystem([path] { return platform::services().fileExists->isFile(path); }).value_or(false)) {
        chooseFile(path);
    }
}

void FrmScan::OpenWith(const std::vector<std::u16string>& paths)
{
    if (paths.empty()) {
        return;
    }
    const std::u16string path = paths.front();
    std::optional<std::u16string> opened;
    try {
        // The file the system opens for the path (a ".." after a link leads from its target), opened and
        // closed at once: only its reach matters.
        opened = search::askFileSystem([path] {
            platform::BinaryFileService& files = *platform::services().binaryFiles;
            std::u16string file = files.openedPath(path);
            files.openRead(file);
            return file;
        });
    } catch (const platform::FileError& error) {
        platform::services().messageBox->show(hWnd(), messages::fileError(error.fault(), path),
                                              messages::kFileErrorCaption, platform::kMessageError);
        return;
    }
    if (opened) {  // else the program is ending
        chooseFile(*opened);
    }
}

void FrmScan::chooseFile(const std::u16string& path)
{
    SelectedFile = path;
    Text4().setText(SelectedFile);
    Scan_Select().setText(kReadyCaption);
    Scan_Select().setToolTip(kReadyToolTip);
}

void FrmScan::Command1_Click()
{
    search::stopForQuit();
    platform::services().windows->endProgram();
}

void FrmScan::Command2_Click()
{
    if (search::running()) {
        return;
    }
    frmAbout about;
    about.showModal(*window_);
}

void FrmScan::Form_Unload()
{
    // The main window is the last one open: closing it ends the program, a search under way first.
    search::stopForQuit();
    platform::services().windows->endProgram();
}

}  // namespace quorvin
