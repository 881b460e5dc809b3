// A long search shows its progress and can be cancelled; a file dropped on the main window, or given at
// start, is chosen.
#include <gtest/gtest.h>

#include "main_window/frm_scan.h"
#include "platform/testing/fakes.h"
#include "search_module/scan_options.h"
#include "progress_window/scan_progress.h"

namespace quorvin {
namespace {

class ProgressTest : public ::testing::Test {
protected:
    // A file of ten blocks, each read taking `millisecondsPerRead` on the steady clock.
    void addSlowFile(std::int64_t millisecondsPerRead)
    {
        testing::FileScript slow;
        slow.beforeRead = [this, millisecondsPerRead](int) { fake.clock.steady += millisecondsPerRead; };
        fake.files.add(u"/data/big.bin", std::string(320000, 'x'), slow);
    }
    void search()
    {
        window().type("ScanString", u"needle");
        form.SelectedFile = u"/data/big.bin";
        form.Scan_Select().setText(u"Lancer la recherche...");
        window().click("Scan_Select");
    }
    testing::FakeWindow& window() { return static_cast<testing::FakeWindow&>(form.window()); }

    testing::FakePlatform fake;
    FrmScan form;
};

TEST_F(ProgressTest, QuickSearchShowsNoProgressWindow)
{
    addSlowFile(10);
    search();
    EXPECT_TRUE(fake.windows.ownedShown.empty());
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Chaîne non trouvée");
}

TEST_F(ProgressTest, SlowSearchKeepsPaintingAndShowsItsProgressAfterHalfASecond)
{
    addSlowFile(200);
    std::vector<std::u16string> statuses;
    std::vector<bool> inputAllowed;
    fake.windows.onProcessEvents = [&](testing::FakeWindow* owned, bool userInput) {
        inputAllowed.push_back(userInput);
        if (owned) statuses.push_back(owned->control("lblStatus").text());
    };
    search();
    EXPECT_EQ(fake.windows.ownedShown, std::vector<std::string>{"frmProgress"});
    // Every block is past the refresh pace; the window shows from the third (600 ms).
    EXPECT_EQ(inputAllowed, (std::vector<bool>{false, false, true, true, true, true, true, true, true, true}));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), u"96\u00A0000 octets lus sur 320\u00A0000 (30\u00A0%)");
    EXPECT_EQ(fake.messageBox.shown.at(0).caption, u"Chaîne non trouvée");
}

TEST_F(ProgressTest, CancelStopsWithinABlockAndTellsTheUser)
{
    addSlowFile(200);
    fake.windows.onProcessEvents = [&](testing::FakeWindow* owned, bool) {
        if (owned && fake.files.reads == 4) owned->click("cmdCancel");
    };
    search();
    EXPECT_EQ(fake.files.reads, 4);
    EXPECT_EQ(fake.files.openFiles, 0);
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Recherche annulée");
    EXPECT_EQ(fake.messageBox.shown[0].text,
              u"La recherche de la chaîne : < needle > a été annulée avant la fin du fichier : \r/data/big.bin");
    EXPECT_EQ(form.Scan_Select().text(), u"Selectionner un fichier...");
    EXPECT_EQ(form.SelectedFile, u"/data/big.bin");
    EXPECT_EQ(form.Text1().text(), u"");
}

TEST(ProgressStatus, GroupsDigitsAndRoundsDown)
{
    EXPECT_EQ(progressStatus(0, 0), u"0 octets lus sur 0 (100\u00A0%)");
    EXPECT_EQ(progressStatus(1234567, 5368709120), u"1\u00A0234\u00A0567 octets lus sur 5\u00A0368\u00A0709\u00A0120 (0\u00A0%)");
}

class DropTest : public ProgressTest {};

TEST_F(DropTest, OneFileIsChosenAndAnythingElseIgnored)
{
    fake.fileExists.files.insert(u"/home/u/a.txt");
    fake.fileExists.hiddenFiles.insert(u"/home/u/.hidden");

    window().sink.onFilesDropped({u"/home/u/a.txt", u"/home/u/.hidden"});
    window().sink.onFilesDropped({u"/home/u"});
    window().sink.onFilesDropped({});
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_EQ(form.Scan_Select().text(), u"Sélectionner un fichier...");

    window().sink.onFilesDropped({u"/home/u/.hidden"});
    EXPECT_EQ(form.SelectedFile, u"/home/u/.hidden");
    EXPECT_EQ(form.Text4().text(), u"/home/u/.hidden");
    EXPECT_EQ(form.Scan_Select().text(), u"Lancer la recherche...");
    EXPECT_EQ(form.Scan_Select().toolTip(), u"Lance la recherche dans le fichier sélectionné");
}

TEST_F(DropTest, TheFirstFileGivenAtStartIsChosenAsADroppedOne)
{
    fake.files.add(u"/home/u/a.txt", "abc");
    fake.files.add(u"/home/u/b.txt", "abc");
    form.OpenWith({});
    EXPECT_EQ(form.Scan_Select().text(), u"Sélectionner un fichier...");

    form.OpenWith({u"/home/u/a.txt", u"/home/u/b.txt"});
    EXPECT_EQ(form.SelectedFile, u"/home/u/a.txt");
    EXPECT_EQ(form.Text4().text(), u"/home/u/a.txt");
    EXPECT_EQ(form.Scan_Select().text(), u"Lancer la recherche...");
    EXPECT_EQ(form.Scan_Select().toolTip(), u"Lance la recherche dans le fichier sélectionné");
    EXPECT_TRUE(fake.messageBox.shown.empty());
    EXPECT_EQ(fake.files.openFiles, 0) << "the file is held open after the start";

    window().type("ScanString", u"B");
    window().click("Scan_Select");
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Chaîne de caractère trouvée !");
}

TEST_F(DropTest, AFileGivenAtStartThatCannotBeReadIsReportedAndNothingIsChosen)
{
    testing::FileScript locked;
    locked.openFault = platform::FileFault::AccessDenied;
    fake.files.add(u"/home/u/locked.txt", "abc", locked);

    form.OpenWith({u"/home/u/gone.txt"});
    form.OpenWith({u"/home/u/locked.txt", u"/home/u/gone.txt"});
    ASSERT_EQ(fake.messageBox.shown.size(), 2u);
    EXPECT_EQ(fake.messageBox.shown[0].owner, form.hWnd());
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Lecture du fichier impossible");
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"/home/u/gone.txt"), std::u16string::npos);
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"n'existe plus"), std::u16string::npos);
    EXPECT_NE(fake.messageBox.shown[1].text.find(u"/home/u/locked.txt"), std::u16string::npos);
    EXPECT_NE(fake.messageBox.shown[1].text.find(u"refusé"), std::u16string::npos);
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_EQ(form.Text4().text(), u"");
    EXPECT_EQ(form.Scan_Select().text(), u"Sélectionner un fichier...");
}

}  // namespace
}  // namespace quorvin
