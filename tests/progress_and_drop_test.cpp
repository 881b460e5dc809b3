// A long search shows its progress and can be cancelled, even while a read waits; no other command runs
// during a search, and ending the program stops it; a file dropped on the main window, or given at start,
// is chosen, and a look at it that waits never freezes the window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <latch>
#include <thread>

#include "main_window/frm_scan.h"
#include "progress_window/scan_progress.h"
#include "search_module/scan_options.h"
#include "search_module/search_state.h"
#include "tests/archive_maker.h"
#include "tests/fakes/fakes.h"

namespace quorvin {
namespace {

bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 2000 && !condition(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

class ProgressTest : public ::testing::Test {
protected:
    // A file of ten first reads whose read `stallAt` (from 0) waits until the test lets it go, as on a stalled
    // network or FUSE file system.
    void addStalledFile(int stallAt)
    {
        testing::FileScript stalled;
        stalled.beforeRead = [this, stallAt](int read) {
            if (read == stallAt) {
                gate.wait();
            }
        };
        fake.files.add(u"/data/big.bin", std::string(10 * ScanOptioons::FirstReadSize, 'x'), stalled);
    }
    // The waiting open or read returns; the scan's thread closes the file then.
    void letTheReadGo()
    {
        if (!released) {
            released = true;
            gate.count_down();
        }
        EXPECT_TRUE(eventually([this] { return fake.files.opening == 0 && fake.files.openFiles == 0; }))
            << "the file is never closed";
    }
    void TearDown() override { letTheReadGo(); }
    // Until the progress window shows, each pause of the windows waits for `waiting` to hold and lasts
    // 200 ms; once it shows, its status is kept and « Annuler » pressed. Whether each pause took input
    // is kept too.
    void cancelOnceTheProgressShows(std::function<bool()> waiting)
    {
        fake.windows.onProcessEvents = [this, waiting](testing::FakeWindow* owned, bool userInput) {
            inputAllowed.push_back(userInput);
            if (owned == nullptr) {
                ASSERT_TRUE(eventually(waiting));
                fake.clock.steady += 200;
                return;
            }
            status = owned->control("lblStatus").text();
            owned->click("cmdCancel");
        };
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
    std::latch gate{1};
    bool released = false;
    std::vector<bool> inputAllowed;
    std::u16string status;
};

TEST_F(ProgressTest, QuickSearchShowsNoProgressWindow)
{
    fake.files.add(u"/data/big.bin", std::string(10 * ScanOptioons::BlockSize, 'x'));
    search();
    EXPECT_TRUE(fake.windows.ownedShown.empty());
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Chaîne non trouvée");
}

TEST_F(ProgressTest, ADecompressionBombShowsItsProgressAndAnnulerStopsItAtOnce)
{
    // 512 MiB of zeros in half a MiB: the search inside would take seconds.
    fake.files.add(u"/data/big.bin", testing::gzipped(std::string(512u << 20, '\0')));
    std::chrono::steady_clock::time_point clicked;
    fake.windows.onProcessEvents = [&](testing::FakeWindow* owned, bool) {
        if (owned == nullptr) {
            fake.clock.steady += 200;
            return;
        }
        clicked = std::chrono::steady_clock::now();
        owned->click("cmdCancel");
    };
    search();
    const auto answered = std::chrono::steady_clock::now() - clicked;
    EXPECT_EQ(fake.windows.ownedShown, std::vector<std::string>{"frmProgress"});
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Recherche annulée");
    EXPECT_LT(answered, std::chrono::seconds(1));
    EXPECT_TRUE(eventually([this] { return fake.files.openFiles == 0; }));
}

TEST_F(ProgressTest, AnOpenThatWaitsNeverFreezesTheWindowsAndAnnulerAbandonsIt)
{
    // Another file's search left its size shown.
    form.Text2().setText(u"12");
    testing::FileScript stalled;
    std::atomic<bool> opening = false;
    stalled.beforeOpen = [&] {
        opening = true;
        gate.wait();
    };
    fake.files.add(u"/data/big.bin", std::string(10 * ScanOptioons::BlockSize, 'x'), stalled);
    cancelOnceTheProgressShows([&] { return opening.load(); });
    search();

    // The windows repaint while the open waits; from 600 ms on the progress window shows and takes input.
    EXPECT_EQ(inputAllowed, (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(status, u"0 octets lus");
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Recherche annulée");
    EXPECT_EQ(form.Text2().text(), u"") << "the size shown was another file's";
    EXPECT_FALSE(search::running());

    // Once the open returns, the file is closed unread.
    letTheReadGo();
    EXPECT_EQ(fake.files.reads, 0);
}

TEST_F(ProgressTest, AReadThatWaitsNeverFreezesTheWindowsAndAnnulerAbandonsItAtOnce)
{
    addStalledFile(3);
    // Three reads are made, then the fourth waits.
    cancelOnceTheProgressShows([this] { return fake.files.reads == 4; });
    search();

    // The windows repaint while the read waits; from 600 ms on the progress window shows and takes input.
    EXPECT_EQ(inputAllowed, (std::vector<bool>{false, false, false, true}));
    EXPECT_EQ(fake.windows.ownedShown, std::vector<std::string>{"frmProgress"});
    EXPECT_EQ(status, u"98\u00A0304 octets lus sur 327\u00A0680 (30\u00A0%)");
    // The user is told while the read still waits.
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Recherche annulée");
    EXPECT_EQ(fake.messageBox.shown[0].text,
              u"La recherche de la chaîne : < needle > a été annulée avant la fin du fichier : \r/data/big.bin");
    EXPECT_EQ(fake.files.openFiles, 1);
    EXPECT_EQ(form.Scan_Select().text(), u"Selectionner un fichier...");
    EXPECT_EQ(form.SelectedFile, u"/data/big.bin");
    EXPECT_EQ(form.Text1().text(), u"");
    EXPECT_FALSE(search::running());

    // Once the read returns, nothing more is read and the file is closed; the program searches on, its
    // waits left to themselves.
    letTheReadGo();
    EXPECT_EQ(fake.files.reads, 4);
    fake.windows.onProcessEvents = nullptr;
    fake.files.add(u"/data/small.txt", "a needle");
    form.SelectedFile = u"/data/small.txt";
    form.Scan_Select().setText(u"Lancer la recherche...");
    window().click("Scan_Select");
    EXPECT_EQ(fake.messageBox.shown.back().caption, u"Chaîne de caractère trouvée !");
}

TEST_F(ProgressTest, NoOtherCommandRunsDuringASearchAndQuitStopsIt)
{
    addStalledFile(1);
    fake.fileExists.files.insert(u"/home/u/a.txt");
    int ticks = 0;
    fake.windows.onProcessEvents = [&](testing::FakeWindow*, bool) {
        if (++ticks > 1) {
            return;
        }
        // The first wait may come before the search's thread has opened the file.
        ASSERT_TRUE(eventually([&] { return fake.files.openFiles == 1; }));
        // Pressed as an accessibility tool presses them, whatever window is modal.
        window().click("Scan_Select");
        window().click("Command2");
        window().sink.onFilesDropped({u"/home/u/a.txt"});
        EXPECT_TRUE(fake.openFileDialog.records.empty());
        EXPECT_TRUE(fake.windows.modalShown.empty()) << "the About window opened during a search";
        EXPECT_EQ(form.SelectedFile, u"/data/big.bin");
        EXPECT_EQ(fake.files.openFiles, 1) << "a second search started";
        window().click("Command1");
    };
    search();
    EXPECT_TRUE(fake.windows.ended);
    EXPECT_TRUE(fake.messageBox.shown.empty()) << "the program ends without a word";
    EXPECT_EQ(ticks, 1) << "the search went on after Quit";
    EXPECT_FALSE(search::running());
}

TEST_F(ProgressTest, ClosingTheMainWindowDuringASearchStopsItAndEndsTheProgram)
{
    addStalledFile(1);
    fake.windows.onProcessEvents = [&](testing::FakeWindow*, bool) { fake.windows.unload(form.window()); };
    search();
    EXPECT_TRUE(fake.windows.ended);
    EXPECT_TRUE(fake.messageBox.shown.empty());
    EXPECT_EQ(fake.windows.eventsProcessed, 1);
}

// The close box's handler goes on once the search is told (the windows go, the program ends, and on
// Windows the process with them): the reads stop as it starts, not once it is back in the search.
TEST_F(ProgressTest, ClosingTheMainWindowStopsTheReadsBeforeItsHandlerGoesOn)
{
    testing::FileScript slow;
    slow.beforeRead = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    fake.files.add(u"/data/big.bin", std::string(32 * ScanOptioons::BlockSize, 'x'), slow);
    int readsAtClose = -1;
    int readsLater = -1;
    fake.windows.onProcessEvents = [&](testing::FakeWindow*, bool) {
        if (readsAtClose >= 0) {
            return;
        }
        ASSERT_TRUE(eventually([&] { return fake.files.reads > 0; }));  // the search is under way
        fake.windows.unload(form.window());
        readsAtClose = fake.files.reads;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        readsLater = fake.files.reads;
    };
    search();
    EXPECT_TRUE(fake.windows.ended);
    EXPECT_TRUE(fake.messageBox.shown.empty());
    EXPECT_GT(readsAtClose, 0);
    EXPECT_LE(readsLater, readsAtClose + 1) << "the file was still read while the window closed";
}

TEST(ProgressStatus, GroupsDigitsAndRoundsDown)
{
    EXPECT_EQ(progressStatus(0, 0), u"0 octets lus");  // no size known
    EXPECT_EQ(progressStatus(1234567, 5368709120),
              u"1\u00A0234\u00A0567 octets lus sur 5\u00A0368\u00A0709\u00A0120 (0\u00A0%)");
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
    form.OpenWith({u""});
    ASSERT_EQ(fake.messageBox.shown.size(), 3u);
    EXPECT_NE(fake.messageBox.shown[2].text.find(u"Aucun fichier n'a été indiqué."), std::u16string::npos);
    EXPECT_EQ(fake.messageBox.shown[2].text.find(u"n'existe plus"), std::u16string::npos);
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

// A file on a stalled mount: its look or its open waits until the test lets it go.
class StalledLookTest : public ProgressTest {
protected:
    void SetUp() override
    {
        fake.fileExists.files.insert(u"/mnt/nfs/a.txt");
        fake.fileExists.beforeLook = [this] { waitAtTheGate(); };
        testing::FileScript stalled;
        stalled.beforeOpen = [this] { waitAtTheGate(); };
        fake.files.add(u"/mnt/nfs/b.txt", "abc", stalled);
        stalled.openFault = platform::FileFault::AccessDenied;
        fake.files.add(u"/mnt/nfs/locked.txt", "abc", stalled);
    }
    // Bounded, so that a look made on the window's thread fails the test rather than hanging it.
    void waitAtTheGate()
    {
        waiting = true;
        for (int i = 0; i < 500 && !gate.try_wait(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ++answered;
    }
    // At the first pause of the windows, once the look waits: the other commands are tried, as a user or
    // an accessibility tool would, then `then` runs. Whether each pause took input is kept.
    void whileTheLookWaits(std::function<void()> then)
    {
        fake.windows.onProcessEvents = [this, then](testing::FakeWindow*, bool userInput) {
            inputAllowed.push_back(userInput);
            if (inputAllowed.size() > 1) {
                return;
            }
            ASSERT_TRUE(eventually([this] { return waiting.load(); }));
            window().type("ScanString", u"abc");
            window().click("Scan_Select");
            window().click("Command2");
            window().sink.onFilesDropped({u"/mnt/nfs/a.txt"});
            EXPECT_TRUE(fake.openFileDialog.records.empty());
            EXPECT_TRUE(fake.windows.modalShown.empty()) << "the About window opened while a file was looked at";
            EXPECT_EQ(form.SelectedFile, u"");
            then();
        };
    }
    // The look returns; what it answers reaches nobody if the program went on without it.
    void letTheLookReturn()
    {
        letTheReadGo();
        EXPECT_TRUE(eventually([this] { return answered == 1; }));
    }

    std::atomic<bool> waiting = false;
    std::atomic<int> answered = 0;
};

TEST_F(StalledLookTest, ADropWhoseLookWaitsKeepsTheWindowAliveAndIsChosenOnceAnswered)
{
    whileTheLookWaits([this] { letTheReadGo(); });
    window().sink.onFilesDropped({u"/mnt/nfs/a.txt"});
    EXPECT_EQ(inputAllowed, (std::vector<bool>{true}));
    EXPECT_EQ(form.SelectedFile, u"/mnt/nfs/a.txt");
    EXPECT_EQ(form.Scan_Select().text(), u"Lancer la recherche...");
    EXPECT_FALSE(search::running());
    EXPECT_FALSE(fake.windows.ended);
}

TEST_F(StalledLookTest, QuitWhileADropIsLookedAtEndsTheProgramAtOnce)
{
    whileTheLookWaits([this] { window().click("Command1"); });
    window().sink.onFilesDropped({u"/mnt/nfs/a.txt"});
    EXPECT_TRUE(fake.windows.ended);
    EXPECT_EQ(answered, 0) << "the drop waited for the look";
    EXPECT_FALSE(search::running());

    letTheLookReturn();
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_EQ(form.Scan_Select().text(), u"Sélectionner un fichier...");
}

TEST_F(StalledLookTest, AStartFileWhoseOpenWaitsKeepsTheWindowAliveAndIsChosenOnceOpen)
{
    whileTheLookWaits([this] { letTheReadGo(); });
    form.OpenWith({u"/mnt/nfs/b.txt"});
    EXPECT_EQ(inputAllowed, (std::vector<bool>{true}));
    EXPECT_EQ(form.SelectedFile, u"/mnt/nfs/b.txt");
    EXPECT_EQ(form.Text4().text(), u"/mnt/nfs/b.txt");
    EXPECT_EQ(form.Scan_Select().text(), u"Lancer la recherche...");
    EXPECT_TRUE(fake.messageBox.shown.empty());
    EXPECT_EQ(fake.files.openFiles, 0);
}

TEST_F(StalledLookTest, AStartFileWhoseOpenWaitsThenFailsIsReported)
{
    whileTheLookWaits([this] { letTheReadGo(); });
    form.OpenWith({u"/mnt/nfs/locked.txt"});
    EXPECT_EQ(inputAllowed, (std::vector<bool>{true}));
    ASSERT_EQ(fake.messageBox.shown.size(), 1u);
    EXPECT_EQ(fake.messageBox.shown[0].caption, u"Lecture du fichier impossible");
    EXPECT_NE(fake.messageBox.shown[0].text.find(u"refusé"), std::u16string::npos);
    EXPECT_EQ(form.SelectedFile, u"");
    EXPECT_FALSE(search::running());
}

TEST_F(StalledLookTest, ClosingTheWindowWhileTheStartFileOpensEndsTheProgramWithoutAWord)
{
    whileTheLookWaits([this] { fake.windows.unload(form.window()); });
    form.OpenWith({u"/mnt/nfs/locked.txt"});
    EXPECT_TRUE(fake.windows.ended);
    EXPECT_EQ(answered, 0) << "the start waited for the open";

    letTheLookReturn();
    EXPECT_TRUE(fake.messageBox.shown.empty());
    EXPECT_EQ(form.SelectedFile, u"");
}

}  // namespace
}  // namespace quorvin
