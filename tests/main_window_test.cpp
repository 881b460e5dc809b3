// The main window's mode machine and the open-file dialog, through the doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "main_window/frm_scan.h"
#include "search_module/scan_options.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

constexpr char16_t kInitial[] = u"Sélectionner un fichier...";
constexpr char16_t kChoose[] = u"Selectionner un fichier...";
constexpr char16_t kReady[] = u"Lancer la recherche...";
constexpr char16_t kChooseTip[] = u"Choix du fichier pour effectuer la recherche";
constexpr char16_t kReadyTip[] = u"Lance la recherche dans le fichier sélectionné";

class MainWindowTest : public ::testing::Test {
protected:
    testing::FakePlatform fake;
    FrmScan form;
    testing::FakeWindow& window() { return static_cast<testing::FakeWindow&>(form.window()); }
    platform::Control& button() { return form.Scan_Select(); }
};

TEST_F(MainWindowTest, TypingEnablesTheButtonWithoutChangingItsMode)
{
    EXPECT_FALSE(button().enabled());
    EXPECT_EQ(button().text(), kInitial);
    window().type("ScanString", u"a");
    EXPECT_TRUE(button().enabled());
    window().type("ScanString", u"");
    EXPECT_FALSE(button().enabled());
    EXPECT_EQ(button().text(), kInitial);
}

TEST_F(MainWindowTest, TypicalSearchGoesChooseSearchChooseAndKeepsTheFile)
{
    fake.files.add(u"/home/u/notes.txt", "Le QUORVIN est l\xE0");
    fake.openFileDialog.answers.push_back(u"/home/u/notes.txt");
    window().type("ScanString", u"quorvin");

    window().click("Scan_Select");  // the first click opens the dialog at once
    ASSERT_EQ(fake.openFileDialog.records.size(), 1u);
    EXPECT_EQ(form.SelectedFile, u"/home/u/notes.txt");
    EXPECT_EQ(form.Text4().text(), u"/home/u/notes.txt");
    EXPECT_EQ(button().text(), kReady);
    EXPECT_EQ(button().toolTip(), kReadyTip);
    EXPECT_TRUE(fake.messageBox.shown.empty());

    window().type("ScanString", u"est LÀ");  // editing keeps the mode; the new text is searched
    window().click("Scan_Select");
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Chaîne de caractère trouvée !");
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"< est LÀ >"), std::u16string::npos);
    EXPECT_EQ(button().text(), kChoose);
    EXPECT_EQ(button().toolTip(), kChooseTip);
    EXPECT_EQ(form.SelectedFile, u"/home/u/notes.txt");
    EXPECT_EQ(form.Text2().text(), u"17");

    window().click("Scan_Select");  // after a search: the dialog again; a cancel forgets the file
    EXPECT_EQ(fake.openFileDialog.records.size(), 2u);
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_EQ(button().text(), kChoose);
    EXPECT_EQ(form.Text4().text(), u"/home/u/notes.txt");
}

TEST_F(MainWindowTest, EnterInTheSearchTextDoesWhatTheButtonDoes)
{
    window().pressEnter("ScanString");  // the button is disabled: nothing happens
    EXPECT_TRUE(fake.openFileDialog.records.empty());
    EXPECT_TRUE(fake.messageBox.shown.empty());

    fake.files.add(u"/home/u/notes.txt", "abc");
    fake.openFileDialog.answers.push_back(u"/home/u/notes.txt");
    window().type("ScanString", u"b");
    window().pressEnter("ScanString");
    ASSERT_EQ(fake.openFileDialog.records.size(), 1u);
    EXPECT_EQ(button().text(), kReady);
    window().pressEnter("ScanString");
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Chaîne de caractère trouvée !");
    EXPECT_EQ(button().text(), kChoose);
    window().pressEnter("Text4");  // a field that names no button
    EXPECT_EQ(fake.openFileDialog.records.size(), 1u);
}

TEST_F(MainWindowTest, CancelOnTheFirstClickStaysInChooseFile)
{
    window().type("ScanString", u"x");
    window().click("Scan_Select");
    EXPECT_EQ(button().text(), kChoose);
    EXPECT_EQ(button().toolTip(), kChooseTip);
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_TRUE(fake.messageBox.shown.empty());
}

TEST_F(MainWindowTest, EmptySearchTextIsRefusedWhereTheButtonCanStillBeClicked)
{
    button().setEnabled(true);
    window().click("Scan_Select");
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Pas de chaîne de caractères à rechercher");
    EXPECT_EQ(fake.messageBox.shown[0].text, u"ERREUR: Entrez la chaîne de caractères à rechercher.");
    EXPECT_EQ(button().text(), kInitial);
    EXPECT_TRUE(fake.openFileDialog.records.empty());
}

TEST_F(MainWindowTest, QuitAndCloseBoxEndTheProgram)
{
    window().click("Command1");
    EXPECT_TRUE(fake.windows.ended);
    fake.windows.ended = false;
    fake.windows.unload(window());
    EXPECT_TRUE(fake.windows.ended);
}

TEST_F(MainWindowTest, AboutButtonShowsTheAboutWindowModallyEachTimeAnew)
{
    std::vector<std::u16string> captions;
    fake.windows.whileModal = [&](testing::FakeWindow& about) { captions.push_back(about.caption()); };
    window().click("Command2");
    window().click("Command2");
    EXPECT_EQ(fake.windows.modalShown, (std::vector<std::string>{"frmAbout", "frmAbout"}));
    EXPECT_EQ(captions, (std::vector<std::u16string>{u"A propos Quorvin", u"A propos Quorvin"}));
}

TEST_F(MainWindowTest, OpenDialogGetsTheFilterTitleAndFlags)
{
    fake.openFileDialog.answers.push_back(u"/a b/c.txt");
    for (const std::u16string filter : {u"Tous les fichiers (*.*)|*.*|", u"Tous les fichiers (*.*)|*.*"}) {
        form.Text4().setText(u"before");
        const std::u16string chosen = ScanOptioons::ShowOpenDialog(form.hWnd(), filter, u"Ouvrir un fichier", u"");
        const platform::OpenFileRecord& r = fake.openFileDialog.records.back();
        EXPECT_EQ(r.filter, std::u16string(u"Tous les fichiers (*.*)\0*.*\0\0", 29));
        EXPECT_EQ(r.title, u"Ouvrir un fichier");
        EXPECT_EQ(r.flags, 0x1004u);
        EXPECT_EQ(r.owner, form.hWnd());
        EXPECT_EQ(r.instance, 0x400000u);
        EXPECT_EQ(r.fileBuffer, std::u16string(254, u' '));
        EXPECT_EQ(r.initialDir, u"");
        // The first call chooses, the second is cancelled and leaves the field as it was.
        EXPECT_EQ(form.Text4().text(), chosen.empty() ? u"before" : u"/a b/c.txt");
    }
}

TEST_F(MainWindowTest, ChosenPathKeepsItsOwnSpacesAndLength)
{
    const std::u16string longPath = u"/" + std::u16string(600, u'd') + u"/name with end space ";
    fake.openFileDialog.answers.push_back(longPath);
    EXPECT_EQ(ScanOptioons::ShowOpenDialog(form.hWnd(), u"*|*", u"t", u""), longPath);
}

// The place's row sits in the frame below every control shown before it, which keep their boxes: its two
// read-only fields named by their labels, last in the tab order.
TEST(MainWindowDesign, ThePlaceRowGoesBelowTheFieldsInsideTheGrownFrame)
{
    const platform::WindowDesign& design = frmScanDesign();
    const auto find = [&design](std::string_view name) {
        return *std::find_if(design.controls.begin(), design.controls.end(),
                             [name](const platform::ControlDesign& c) { return c.name == name; });
    };
    const platform::ControlDesign frame = find("Frame1");
    EXPECT_LE(frame.top + frame.height, design.clientHeight);
    int lastTab = 0;
    int lowest = 0;
    for (const platform::ControlDesign& c : design.controls) {
        if (c.name != "Text5" && c.name != "Text6" && c.name != "Label6" && c.name != "Label7") {
            lastTab = std::max(lastTab, c.tabIndex);
            if (c.container == "Frame1" && c.visible) {
                lowest = std::max(lowest, c.top + c.height);
            }
        }
    }
    for (const auto& [field, label] : {std::pair{"Text5", "Label6"}, std::pair{"Text6", "Label7"}}) {
        const platform::ControlDesign f = find(field);
        const platform::ControlDesign l = find(label);
        EXPECT_EQ(f.container, "Frame1");
        EXPECT_TRUE(f.readOnly);
        EXPECT_EQ(f.label, label);
        EXPECT_GT(f.tabIndex, lastTab);
        EXPECT_GE(std::min(f.top, l.top), lowest);
        EXPECT_LE(std::max(f.top + f.height, l.top + l.height), frame.height);
        EXPECT_LE(f.left + f.width, frame.width);
        EXPECT_LE(l.left + l.width, f.left);
        lowest = f.top + f.height;
    }
    EXPECT_EQ(find("Label6").text, u"Trouvée :");
}

}  // namespace
}  // namespace quorvin
