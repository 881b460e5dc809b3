// The Linux services on their own: files, programs, message boxes and the open-file dialog.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/native_path.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"
#include "qt_test_support.h"

using namespace quorvin;
using namespace quorvin::platform;
using namespace quorvin::platform::qt;
using quorvin::platform::posix::fromNativePath;
using namespace quorvin::qttest;

class QtServicesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void fileExistsCountsOnlyVisibleRegularFiles()
    {
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString();
        for (const std::string name : {"/plain.txt", "/.hidden", "/\xE9t\xE9.txt"}) {  // the last is Latin-1
            ::close(::open((root + name).c_str(), O_CREAT | O_WRONLY, 0644));
        }
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        QtFileExists files;
        const auto path = [&](const std::string& name) { return fromNativePath(root + name); };
        QVERIFY(files.exists(path("/plain.txt")) && files.isFile(path("/plain.txt")));
        QVERIFY(!files.exists(path("/.hidden")) && files.isFile(path("/.hidden")));
        QVERIFY(files.exists(path("/\xE9t\xE9.txt")));  // a name that is not UTF-8 survives the trip
        QVERIFY(!files.exists(path("/folder")) && !files.isFile(path("/folder")));
        QVERIFY(!files.exists(path("/missing")) && !files.isFile(u""));
        ::unlink((root + "/\xE9t\xE9.txt").c_str());  // Qt cannot name it to remove it
    }

    void processStartRunsTheExactPathAndReportsFailure()
    {
        QTemporaryDir dir;
        // A space in the path must not split it: "/tmp/x/my" would otherwise be run.
        const QString tool = dir.path() + QStringLiteral("/my tool");
        const QString marker = dir.path() + QStringLiteral("/started");
        QFile script(tool);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\ntouch '" + marker.toStdString() + "'\n").c_str());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QtProcessStart processes;
        processes.start(fromQtPath(tool), kShowNormalFocus);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        QVERIFY_THROWS_EXCEPTION(ProcessStartError, processes.start(fromQtPath(dir.path() + "/none"), 1));
    }

    void clockApplicationAndRegistry()
    {
        QtClock clock;
        const double day = clock.timeOfDay();
        QVERIFY(day >= 0 && day < 1);
        QCOMPARE(day * 86400, std::round(day * 86400));  // whole seconds
        QVERIFY(std::abs(day * 86400 - QTime::currentTime().msecsSinceStartOfDay() / 1000) <= 1);
        const auto before = clock.steadyMilliseconds();
        QTest::qWait(20);
        QVERIFY(clock.steadyMilliseconds() >= before + 20);

        QtApplication application;
        QCOMPARE(application.version().major, 1);
        QCOMPARE(application.version().minor, 1);
        QCOMPARE(application.version().revision, 0);
        QCOMPARE(qs(application.executableFolder()), QCoreApplication::applicationDirPath());

        NoRegistry registry;
        RegistryKey key = 7;
        QCOMPARE(registry.openKey(kHKeyLocalMachine, "SOFTWARE", kKeyRead, key), kErrorFileNotFound);
    }

    void messageBoxesBreakLinesAndKeepTextPlain()
    {
        QWidget owner;
        owner.show();
        QtMessageBox boxes;
        SeenMessage seen;
        answerNextMessage(seen);
        boxes.show(handleOf(&owner), u"<b>un</b>\r\ndeux\rtrois", u"Titre", kMessageError);
        QCOMPARE(seen.caption, QStringLiteral("Titre"));
        QCOMPARE(seen.text, QStringLiteral("<b>un</b>\ndeux\ntrois"));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.owner, &owner);

        QtApplication application;
        QtTitledMessageBox titled(application);
        answerNextMessage(seen);
        titled.show(u"texte", kStyleOkOnly, std::nullopt);
        QCOMPARE(seen.caption, QStringLiteral("Quorvin"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QVERIFY(seen.owner == nullptr);
        answerNextMessage(seen);
        titled.show(u"texte", kStyleInformation, u"A propos");
        QCOMPARE(seen.caption, QStringLiteral("A propos"));
        QCOMPARE(seen.icon, QMessageBox::Information);
    }

    void openFileDialogTakesTheRecordAndReturnsTheChosenPath()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + QStringLiteral("/sans-extension");
        QFile(file).open(QIODevice::WriteOnly);
        OpenFileRecord record;
        record.filter = std::u16string(u"Textes\0*.txt;*.log\0Tous les fichiers (*.*)\0*.*\0\0", 49);
        record.fileBuffer.assign(254, u' ');
        record.initialDir = fromQtPath(dir.path());
        record.title = u"Ouvrir un fichier";
        record.flags = kOfnFileMustExist | kOfnHideReadOnly;

        QStringList filters;
        QString directory, acceptText;
        bool existingOnly = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            directory = dialog->directory().absolutePath();
            acceptText = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->text();
            existingOnly = dialog->fileMode() == QFileDialog::ExistingFile;
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
            dialog->selectNameFilter(filters.constLast());  // the file has no extension
            // The dialog lists the folder in the background; the user waits until the file shows.
            auto* model = dialog->findChild<QFileSystemModel*>();
            if (!QTest::qWaitFor([&] { return model->index(file).isValid(); }, 5000)) {
                dialog->reject();
                return;
            }
            name->setText(file);
            open->click();
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        QtOpenFileDialog dialogs;
        QVERIFY(dialogs.show(record));
        QCOMPARE(filters, QStringList({"Textes (*.txt *.log)", "Tous les fichiers (*.*) (*)"}));
        QCOMPARE(directory, dir.path());
        QCOMPARE(acceptText, QStringLiteral("&Ouvrir"));  // Qt's French translation is loaded
        QVERIFY(existingOnly);
        QCOMPARE(record.fileBuffer, fromQtPath(file) + u'\0');

        answerNextFileDialog({});
        QVERIFY(!dialogs.show(record));
    }
};

QTEST_MAIN(QtServicesTest)
#include "qt_services_test.moc"
