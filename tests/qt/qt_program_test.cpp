// The whole program with real widgets: the main window's modes, searches through the real file dialog
// and message boxes, the About window, the progress window, dropped files and a file given at start.
#include <QAccessible>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <latch>
#include <memory>

#include "main_window/frm_scan.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"
#include "qt_test_support.h"
#include "search_module/scan_options.h"
#include "tests/archive_maker.h"
#include "tests/fakes/fakes.h"

using namespace quorvin;
using namespace quorvin::platform::qt;
using namespace quorvin::qttest;

namespace {
const QString kInitial = QStringLiteral("Sélectionner un fichier...");
const QString kChooseFile = QStringLiteral("Selectionner un fichier...");
const QString kChooseTip = QStringLiteral("Choix du fichier pour effectuer la recherche");
const QString kReady = QStringLiteral("Lancer la recherche...");
const QString kReadyTip = QStringLiteral("Lance la recherche dans le fichier sélectionné");
}  // namespace

class QtProgramTest : public QObject {
    Q_OBJECT

public slots:
    void openUrl(const QUrl& url) { opened << url.toString(); }

private slots:
    void initTestCase()
    {
        prepareApplication();
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "openUrl");
    }

    void init()
    {
        ended = false;
        platform = std::make_unique<QtPlatform>([this] { ended = true; });
        form = std::make_unique<FrmScan>();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }

    void cleanup()
    {
        form.reset();
        platform.reset();
    }

    void startsWithTheButtonDisabledAndTheFocusInTheSearchText()
    {
        QCOMPARE(main()->windowTitle(), QStringLiteral("Recherche d'une chaîne de caractères dans un fichier"));
        QCOMPARE(main()->minimumSize(), main()->maximumSize());
        QCOMPARE(button()->text(), kInitial);
        QCOMPARE(button()->toolTip(), kChooseTip);
        QVERIFY(!button()->isEnabled());
        QCOMPARE(QApplication::focusWidget(), searchText());
        QTest::keyClick(searchText(), Qt::Key_A);
        QVERIFY(button()->isEnabled());
        QTest::keyClick(searchText(), Qt::Key_Backspace);
        QVERIFY(!button()->isEnabled());
        QCOMPARE(button()->text(), kInitial);
    }

    void typicalSearchFindsThenMissesTheText()
    {
        const QString path = makeFile(QStringLiteral("notes.txt"), "xxABCxx");
        QTest::keyClicks(searchText(), QStringLiteral("abc"));
        QString title;
        answerNextFileDialog(path, &title);
        QTest::mouseClick(button(), Qt::LeftButton);  // the first click goes on to the dialog
        QCOMPARE(title, QStringLiteral("Ouvrir un fichier"));
        QCOMPARE(button()->text(), kReady);
        QCOMPARE(button()->toolTip(), kReadyTip);
        QCOMPARE(field("Text4"), path);

        SeenMessage found;
        answerNextMessage(found);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
        QCOMPARE(found.text,
                 "7 Octets ont été scannés.\nResultats de la recherche :\nLa chaîne recherchée : < abc > "
                 "a été trouvée dans le fichier : \n" +
                     path);
        QCOMPARE(found.owner, main());
        QCOMPARE(button()->text(), kChooseFile);
        QCOMPARE(button()->toolTip(), kChooseTip);
        QCOMPARE(field("Text2"), QStringLiteral("7"));
        QCOMPARE(field("Text1"), QString());
        QCOMPARE(field("Text5"), QStringLiteral("ligne 1, colonne 3 (octet 2, Windows-1252)"));
        QCOMPARE(field("Text6"), QStringLiteral("xxABCxx"));

        answerNextFileDialog(path);
        QTest::mouseClick(button(), Qt::LeftButton);
        searchText()->selectAll();
        // Editing keeps the mode.
        QTest::sendKeyEvent(QTest::Click, searchText(), Qt::Key_Eacute, QStringLiteral("é"), Qt::NoModifier);
        QCOMPARE(button()->text(), kReady);
        SeenMessage missed;
        answerNextMessage(missed);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(missed.caption, QStringLiteral("Chaîne non trouvée"));
        QCOMPARE(missed.text, "La chaîne recherchée : < é > n'a pas été trouvée dans le fichier : \n" + path);
        QVERIFY(!field("Text1").isEmpty());
        QCOMPARE(field("Text5"), QString());
        QCOMPARE(field("Text6"), QString());
        QCOMPARE(button()->text(), kChooseFile);
    }

    // Found inside: the row tells the archive's member and the line there, or where the document's reader
    // sees the text, and the field under it the text around it.
    void theRowTellsWhereInsideAnArchiveAndADocument()
    {
        const QString archive = makeFile(QStringLiteral("logs.zip"),
                                         QByteArray::fromStdString(testing::zipArchive(
                                             {{"a.txt", "rien"}, {"var/log/app.log", "un\n\tdeux ERREUR trois\n"}})));
        QFile letter(QStringLiteral(QUORVIN_DOCUMENTS "/letter.docx"));
        QVERIFY(letter.open(QIODevice::ReadOnly));
        const QString document = makeFile(QStringLiteral("lettre.docx"), letter.readAll());
        struct Case {
            QString path, text, place, excerpt;
        };
        for (const Case& c : {Case{archive, QStringLiteral("erreur"),
                                   QStringLiteral("var/log/app.log, ligne 2, colonne 7 (octet 9, Windows-1252)"),
                                   QStringLiteral(" deux ERREUR trois")},
                              Case{document, QStringLiteral("lien visible"), QStringLiteral("paragraphe 10"),
                                   QStringLiteral("Suivez ce lien visible pour en savoir plus.")}}) {
            searchText()->clear();
            QTest::keyClicks(searchText(), c.text);
            answerNextFileDialog(c.path);
            QTest::mouseClick(button(), Qt::LeftButton);
            SeenMessage found;
            answerNextMessage(found);
            QTest::mouseClick(button(), Qt::LeftButton);
            QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
            QCOMPARE(field("Text5"), c.place);
            QCOMPARE(field("Text6"), c.excerpt);
            QCOMPARE(child<QLineEdit>("Text6")->toolTip(), c.excerpt);
        }
    }

    void cancellingTheDialogForgetsTheFileButKeepsTheField()
    {
        const QString path = makeFile(QStringLiteral("a.txt"), "a");
        QTest::keyClicks(searchText(), QStringLiteral("a"));
        answerNextFileDialog({});
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(button()->text(), kChooseFile);
        QCOMPARE(field("Text4"), QString());

        answerNextFileDialog(path);
        QTest::mouseClick(button(), Qt::LeftButton);
        SeenMessage found;
        answerNextMessage(found);
        QTest::mouseClick(button(), Qt::LeftButton);
        answerNextFileDialog({});
        QTest::mouseClick(button(), Qt::LeftButton);  // after a search: the dialog again
        QVERIFY(form->SelectedFile.empty());
        QCOMPARE(button()->text(), kChooseFile);
        QCOMPARE(field("Text4"), path);
    }

    void fileRemovedBeforeTheSearchIsReportedAndTheProgramGoesOn()
    {
        const QString path = makeFile(QStringLiteral("gone.txt"), "abc");
        QTest::keyClicks(searchText(), QStringLiteral("b"));
        answerNextFileDialog(path);
        QTest::mouseClick(button(), Qt::LeftButton);
        QFile::remove(path);
        SeenMessage error;
        answerNextMessage(error);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(error.caption, QStringLiteral("Lecture du fichier impossible"));
        QCOMPARE(error.icon, QMessageBox::Critical);
        QVERIFY(error.text.contains(path));
        QCOMPARE(button()->text(), kChooseFile);

        makeFile(QStringLiteral("gone.txt"), "abc");
        answerNextFileDialog(path);
        QTest::mouseClick(button(), Qt::LeftButton);
        SeenMessage found;
        answerNextMessage(found);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
    }

    void pathLongerThan254CharactersIsChosenAndSearched()
    {
        QString folder = directory.path();
        while (folder.size() < 300) {
            folder += QStringLiteral("/un-dossier-au-nom-assez-long");
        }
        QVERIFY(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/fichier.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("le mot cherché");
        file.close();
        QTest::keyClicks(searchText(), QStringLiteral("MOT"));
        answerNextFileDialog(file.fileName());
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(field("Text4"), file.fileName());
        SeenMessage found;
        answerNextMessage(found);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
        QVERIFY(found.text.endsWith(file.fileName()));
    }

    void quitButtonAndCloseBoxEndTheProgram()
    {
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
        QVERIFY(ended);
        cleanup();
        init();
        main()->close();
        QVERIFY(ended);
    }

    void aboutWindowShowsItsTextsAndClosesWithEnterOrEscape()
    {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QString caption, title, version, closedBy;
            bool modal = false;
            whenShown<QWidget>(
                [&](QWidget* about) {
                    caption = about->windowTitle();
                    title = about->findChild<QLabel*>(QStringLiteral("lblTitle"))->text();
                    version = about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text();
                    modal = QApplication::activeModalWidget() == about;
                    QTest::keyClick(about->focusWidget(), key);
                    closedBy = about->isVisible() ? QStringLiteral("close box") : QStringLiteral("key");
                    if (about->isVisible()) {
                        about->close();
                    }
                },
                "frmAbout");
            QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);  // returns once it closes
            QCOMPARE(caption, QStringLiteral("A propos Quorvin"));
            QCOMPARE(title, QStringLiteral("Quorvin"));
            QCOMPARE(version, QStringLiteral("Version 1.1.0"));
            QVERIFY(modal);
            QCOMPARE(closedBy, QStringLiteral("key"));
        }
    }

    void aboutWindowDetailsLinksAndSystemInformation()
    {
        SeenMessage details, sysInfo;
        opened.clear();
        whenShown<QWidget>(
            [&](QWidget* about) {
                answerNextMessage(details);
                QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
                answerNextMessage(sysInfo);
                QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
                for (const char* link : {"Label3", "Image2", "lblDisclaimer"}) {
                    QTest::mouseClick(about->findChild<QLabel*>(QLatin1String(link)), Qt::LeftButton);
                }
                about->close();
            },
            "frmAbout");
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);

        QCOMPARE(details.caption, QStringLiteral("A propos"));
        QCOMPARE(details.icon, QMessageBox::Information);
        const QStringList lines = details.text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines.first(), QStringLiteral("Quorvin version 1.1.0"));
        QVERIFY(lines[2].isEmpty() && lines[6].isEmpty());
        QCOMPARE(lines.last(), QStringLiteral("Logiciel FREEWARE"));
        QVERIFY(details.owner == nullptr);
        // Linux has no registry to name the tool.
        QCOMPARE(sysInfo.text, QStringLiteral("Information Systeme introuvable !"));
        QCOMPARE(sysInfo.caption, QStringLiteral("Quorvin"));
        QCOMPARE(opened, QStringList({"https://ravendo.example", "https://ravendo.example/Don/Don.htm",
                                      "mailto:contact@ravendo.example"}));
    }

    // From the keyboard alone: Tab from OK reaches the mail, web and donation links, and Enter or Space
    // opens each as a click would; the About window stays open until Escape.
    void aboutWindowLinksOpenFromTheKeyboard()
    {
        opened.clear();
        QStringList focused;
        bool stayedOpen = false;
        whenShown<QWidget>(
            [&](QWidget* about) {
                // The window may show before it takes the focus, and a key sent before would go to the
                // main window, leaving the About window open for good.
                if (!QTest::qWaitFor([&] { return about->isAncestorOf(QApplication::focusWidget()); })) {
                    about->close();
                    QFAIL("the About window never took the focus");
                }
                const auto tab = [&] {
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                    focused << QApplication::focusWidget()->objectName();
                };
                tab();  // Système Info...
                tab();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                tab();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
                tab();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);  // the keypad's
                stayedOpen = about->isVisible();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            "frmAbout");
        QTest::mouseClick(child<QPushButton>("Command2"), Qt::LeftButton);
        QCOMPARE(focused, QStringList({"cmdSysInfo", "lblDisclaimer", "Label3", "Image2"}));
        QCOMPARE(opened, QStringList({"mailto:contact@ravendo.example", "https://ravendo.example",
                                      "https://ravendo.example/Don/Don.htm"}));
        QVERIFY(stayedOpen);
    }

    void enterInTheSearchTextChoosesTheFileThenSearches()
    {
        const QString path = makeFile(QStringLiteral("notes.txt"), "xxABCxx");
        QTest::keyClick(searchText(), Qt::Key_Return);  // nothing to look for: the button is disabled
        QTest::keyClicks(searchText(), QStringLiteral("abc"));
        QString title;
        answerNextFileDialog(path, &title);
        QTest::keyClick(searchText(), Qt::Key_Return);
        QCOMPARE(title, QStringLiteral("Ouvrir un fichier"));
        QCOMPARE(button()->text(), kReady);
        QCOMPARE(main()->focusWidget(), searchText());  // back where the user typed
        SeenMessage found;
        answerNextMessage(found);
        QTest::keyClick(searchText(), Qt::Key_Return);
        QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
        QCOMPARE(button()->text(), kChooseFile);
    }

    void aReadThatWaitsShowsItsProgressAndAnnulerAbandonsIt()
    {
        StalledFile stalled(5);  // each block takes 200 ms; the sixth read waits
        QString status, fileLabel;
        bool mainBlocked = false;
        whenShown<QWidget>(
            [&](QWidget* progress) {
                QVERIFY(QTest::qWaitFor([&] { return stalled.files.reads == 6; }, 5000));
                fileLabel = progress->findChild<QLabel*>(QStringLiteral("lblFile"))->text();
                mainBlocked = QApplication::activeModalWidget() == progress;
                // A moment later, the window still repaints and shows what was read, then the user cancels.
                QTimer::singleShot(200, progress, [&, progress] {
                    status = progress->findChild<QLabel*>(QStringLiteral("lblStatus"))->text();
                    auto* cancel = progress->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
                    QTest::mouseClick(cancel, Qt::LeftButton);
                });
            },
            "frmProgress");
        SeenMessage cancelled;
        answerNextMessage(cancelled);
        startSearch();  // returns once the user was told

        QCOMPARE(status, QStringLiteral("163\u00A0840 octets lus sur 327\u00A0680 (50\u00A0%)"));
        QCOMPARE(fileLabel, QStringLiteral("Fichier : big.bin"));
        QVERIFY(mainBlocked);
        QCOMPARE(cancelled.caption, QStringLiteral("Recherche annulée"));
        QCOMPARE(stalled.files.openFiles.load(), 1);  // the read still waits
        QVERIFY(visibleTopLevel<QWidget>("frmProgress") == nullptr);
        QCOMPARE(button()->text(), kChooseFile);
        QCOMPARE(qs(form->SelectedFile), QStringLiteral("/data/big.bin"));
        stalled.letTheReadGo();
        QCOMPARE(stalled.files.reads.load(), 6);
    }

    // A screen reader presses buttons directly, modal window or not.
    void accessibilityPressesDuringASearchAreRefusedAndQuitEndsIt()
    {
        StalledFile stalled(3);  // the progress window shows at the fourth block (800 ms)
        bool aboutShown = false;
        int opened = -1;
        whenShown<QWidget>(
            [&](QWidget*) {
                press(button());
                press(child<QPushButton>("Command2"));
                aboutShown = visibleTopLevel<QWidget>("frmAbout") != nullptr;
                opened = stalled.files.openFiles;
                press(child<QPushButton>("Command1"));
            },
            "frmProgress");
        QElapsedTimer clock;
        clock.start();
        startSearch();
        QVERIFY(ended);
        QVERIFY(!aboutShown);
        QCOMPARE(opened, 1);
        QVERIFY2(clock.elapsed() < 2000, "the search went on after Quit");
        QVERIFY2(QApplication::activeModalWidget() == nullptr, "no message when the program ends");
        stalled.letTheReadGo();
    }

    void closingTheMainWindowDuringASearchEndsTheSearchAndTheProgram()
    {
        StalledFile stalled(3);  // the progress window shows at the fourth block (800 ms)
        whenShown<QWidget>([&](QWidget*) { main()->close(); }, "frmProgress");
        startSearch();
        QVERIFY(ended);
        QVERIFY(visibleTopLevel<QMessageBox>() == nullptr);
        stalled.letTheReadGo();
    }

    void droppedFileIsChosenButTwoFilesOrAFolderChangeNothing()
    {
        const QString first = makeFile(QStringLiteral("one.txt"), "un deux");
        const QString second = makeFile(QStringLiteral("two.txt"), "trois");
        QVERIFY(!drop({QUrl(QStringLiteral("https://ravendo.example/file.txt"))}));
        QVERIFY(drop({QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}));
        QVERIFY(drop({QUrl::fromLocalFile(directory.path())}));
        QCOMPARE(button()->text(), kInitial);
        QCOMPARE(field("Text4"), QString());

        QVERIFY(drop({QUrl::fromLocalFile(first)}));
        QCOMPARE(field("Text4"), first);
        QCOMPARE(button()->text(), kReady);
        QCOMPARE(button()->toolTip(), kReadyTip);
        QTest::keyClicks(searchText(), QStringLiteral("DEUX"));
        SeenMessage found;
        answerNextMessage(found);
        QTest::mouseClick(button(), Qt::LeftButton);
        QCOMPARE(found.caption, QStringLiteral("Chaîne de caractère trouvée !"));
    }

    void fileGivenAtStartIsChosenOrReportedOverTheWindow()
    {
        const QString notes = makeFile(QStringLiteral("notes.txt"), "quorvin");
        SeenMessage refused;
        answerNextMessage(refused);
        form->OpenWith({fromQtPath(directory.path())});
        QCOMPARE(refused.caption, QStringLiteral("Lecture du fichier impossible"));
        QVERIFY(refused.text.contains(directory.path()));
        QCOMPARE(refused.owner, main());
        QCOMPARE(button()->text(), kInitial);

        form->OpenWith({fromQtPath(notes), fromQtPath(directory.path())});
        QCOMPARE(field("Text4"), notes);
        QCOMPARE(button()->text(), kReady);
    }

private:
    // big.bin, ten blocks in memory, each read taking 200 ms on the program's clock; read `stallAt`
    // (from 0) waits until the test lets it go, as on a stalled network or FUSE file system.
    struct StalledFile {
        explicit StalledFile(int stallAt)
        {
            platform::services().binaryFiles = &files;
            platform::services().clock = &clock;
            testing::FileScript script;
            script.beforeRead = [this, stallAt](int read) {
                clock.steady += 200;
                if (read == stallAt) {
                    gate.wait();
                }
            };
            files.add(u"/data/big.bin", std::string(10 * ScanOptioons::FirstReadSize, 'x'), script);
        }
        ~StalledFile() { letTheReadGo(); }
        // The read returns; the thread that reads closes the file then.
        void letTheReadGo()
        {
            if (!released) {
                released = true;
                gate.count_down();
            }
            QVERIFY(QTest::qWaitFor([this] { return files.openFiles == 0; }, 10000));
        }
        testing::MemoryFiles files;
        testing::FakeClock clock;
        std::latch gate{1};
        bool released = false;
    };

    void startSearch()
    {
        QTest::keyClicks(searchText(), QStringLiteral("needle"));
        form->SelectedFile = u"/data/big.bin";
        form->Scan_Select().setText(u"Lancer la recherche...");
        QTest::mouseClick(button(), Qt::LeftButton);
    }

    static void press(QWidget* widget)
    {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    QWidget* main() { return widgetOf(form->hWnd()); }
    template <class T>
    T* child(const char* name)
    {
        return main()->findChild<T*>(QLatin1String(name));
    }
    QLineEdit* searchText() { return child<QLineEdit>("ScanString"); }
    QPushButton* button() { return child<QPushButton>("Scan_Select"); }
    QString field(const char* name) { return child<QLineEdit>(name)->text(); }

    QString makeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(directory.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

    // Drags `urls` over the main window and drops them; true when the window took the drop.
    bool drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main(), &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main(), &dropped);
        return dropped.isAccepted();
    }

    std::unique_ptr<QtPlatform> platform;
    std::unique_ptr<FrmScan> form;
    QTemporaryDir directory;
    bool ended = false;
    QStringList opened;
};

QTEST_MAIN(QtProgramTest)
#include "qt_program_test.moc"
