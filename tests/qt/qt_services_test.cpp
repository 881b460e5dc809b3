// The Linux services on their own: files, programs, message boxes and the open-file dialog.
#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QClipboard>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "app/qt/command_line.h"
#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"
#include "platform/qt/window_system.h"
#include "qt_test_support.h"
#include "search_module/messages.h"

using namespace quorvin;
using namespace quorvin::platform;
using namespace quorvin::platform::qt;
using quorvin::platform::posix::fromNativePath;
using quorvin::platform::posix::toNativePath;
using namespace quorvin::qttest;
using quorvin::app::readCommandLine;

namespace QTest {
// Paths in failure messages.
template <>
char* toString(const std::vector<std::string>& paths)
{
    QByteArray shown = "{";
    for (const std::string& path : paths) {
        shown += (shown.size() > 1 ? ", \"" : "\"") + QByteArray::fromStdString(path) + '"';
    }
    return qstrdup(shown + '}');
}
}  // namespace QTest

namespace {

// The command line after the program's own name, as main() reads it.
std::optional<int> read(std::vector<const char*> arguments, std::vector<std::u16string>& files, std::string& out,
                        std::string& err)
{
    std::ostringstream o, e;
    arguments.insert(arguments.begin(), "/usr/bin/quorvin");
    const auto code = readCommandLine({const_cast<char* const*>(arguments.data()), arguments.size()}, files, o, e);
    out = o.str();
    err = e.str();
    return code;
}

// The files named, as bytes.
std::vector<std::string> filesRead(const std::vector<std::string>& arguments)
{
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    std::vector<std::u16string> files;
    std::string out, err;
    [&] { QCOMPARE(read(pointers, files, out, err), std::optional<int>()); }();
    std::vector<std::string> paths;
    for (const std::u16string& file : files) {
        paths.push_back(toNativePath(file));
    }
    return paths;
}

// What the system opens under `path`.
// The files the command line names, as the file service opens them.
std::vector<std::string> filesOpened(const std::vector<std::string>& arguments)
{
    std::vector<std::string> opened;
    for (const std::string& file : filesRead(arguments)) {
        opened.push_back(toNativePath(posix::PosixBinaryFiles().openedPath(fromNativePath(file))));
    }
    return opened;
}

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!std::filesystem::is_regular_file(path) || !in) {
        return "(no file)";
    }
    return {std::istreambuf_iterator<char>(in), {}};
}

// Which files of a folder were opened or read (inotify), from the moment it is made.
class FolderAccesses {
public:
    explicit FolderAccesses(const QString& folder) : watch_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(watch_, QFile::encodeName(folder).constData(),
                          IN_OPEN | IN_ACCESS | IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_ATTRIB);
    }
    ~FolderAccesses() { ::close(watch_); }
    FolderAccesses(const FolderAccesses&) = delete;
    FolderAccesses& operator=(const FolderAccesses&) = delete;

    // "opened NAME", "read NAME", "changed NAME" for what happened to the folder's files so far.
    QStringList seen()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(watch_, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0) {
                    const QString name = QFile::decodeName(event->name);
                    const char* what = (event->mask & IN_OPEN) != 0     ? "opened "
                                       : (event->mask & IN_ACCESS) != 0 ? "read "
                                                                        : "changed ";
                    seen_ << what + name;
                }
                at += sizeof(inotify_event) + event->len;
            }
        }
        seen_.removeDuplicates();
        return seen_;
    }

private:
    int watch_;
    QStringList seen_;
};

// A FIFO nobody writes: whoever opens it to read waits there. A writer's open that does not wait sees such a
// reader, and lets it go with an end of file, so that a fault fails the test instead of hanging it.
class FifoWatch {
public:
    explicit FifoWatch(const QByteArray& path) : path_(path)
    {
        ::mkfifo(path_.constData(), 0600);
        thread_ = std::thread([this] {
            while (!stop_) {
                const int end = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (end >= 0) {
                    opened_ = true;
                    ::close(end);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~FifoWatch()
    {
        stop_ = true;
        thread_.join();
    }
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    bool openedToRead() const { return opened_; }

private:
    QByteArray path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread thread_;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class QtServicesTest : public QObject {
    Q_OBJECT

    // Qt's settings of this test run: never the user's own.
    QTemporaryDir configHome_;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
        prepareApplication();
    }

    void commandLineAnswersOptionsAndKeepsFilesAsGiven()
    {
        std::vector<std::u16string> files;
        std::string out, err;
        QCOMPARE(read({"--version"}, files, out, err), std::optional<int>(0));
        QCOMPARE(out, std::string("Quorvin 1.1.0\n"));
        QCOMPARE(read({"notes.txt", "-h"}, files, out, err), std::optional<int>(0));
        QVERIFY(out.starts_with("Utilisation : quorvin [OPTION] [FICHIER]\n"));
        QVERIFY(out.find("  --version   affiche la version et s'arrête\n") != std::string::npos);
        QVERIFY(err.empty() && files.empty());

        QCOMPARE(read({"--bogus", "-x"}, files, out, err), std::optional<int>(2));
        QVERIFY(out.empty());
        QVERIFY(
            err.starts_with("quorvin : option inconnue « --bogus »\nquorvin : option inconnue « -x »\n"
                            "Utilisation : "));
        QCOMPARE(read({"-style"}, files, out, err), std::optional<int>(2));

        // Qt's own options are left to QApplication; "--" ends the options; relative names become
        // absolute with their bytes kept, even when they are not UTF-8. A ".." after a folder that is not
        // there stays: the system would not go through it either.
        QCOMPARE(read({"-style", "fusion", "-reverse", "/tmp/a b.txt", "d\xE9j\xE0/../x.txt", "--", "-moins.txt"},
                      files, out, err),
                 std::optional<int>());
        const std::string here = std::filesystem::current_path().native();
        QCOMPARE(files.size(), std::size_t(3));
        QCOMPARE(toNativePath(files[0]), std::string("/tmp/a b.txt"));
        QCOMPARE(toNativePath(files[1]), here + "/d\xE9j\xE0/../x.txt");
        QCOMPARE(toNativePath(files[2]), here + "/-moins.txt");
        files.clear();
        QCOMPARE(read({"d\xE9j\xE0.txt"}, files, out, err), std::optional<int>());
        QCOMPARE(toNativePath(files.at(0)), here + "/d\xE9j\xE0.txt");

        // An empty name names no file, as on Windows: the next one is the first.
        QCOMPARE(filesRead({""}), std::vector<std::string>());
        QCOMPARE(filesRead({"", "notes.txt"}), std::vector<std::string>{here + "/notes.txt"});
    }

    void theFileServiceTakesDotDotBackAsTheSystemDoes()
    {
        namespace fs = std::filesystem;
        QTemporaryDir dir;
        const std::string root = fs::canonical(dir.path().toStdString()).native();
        fs::create_directories(root + "/real/sub/inner");
        fs::create_directory(root + "/d\xE9j\xE0");
        const auto removed = qScopeGuard([&] { fs::remove(root + "/d\xE9j\xE0"); });  // Qt cannot name it
        fs::create_directory_symlink("real/sub", root + "/link");
        fs::create_directory_symlink("nowhere", root + "/dangling");
        std::ofstream(root + "/target.txt") << "outer";
        std::ofstream(root + "/real/target.txt") << "inner";
        std::ofstream(root + "/real/sub/target.txt") << "link's own";

        // The command line names them without looking at a folder (one may be on a stalled mount).
        QCOMPARE(filesRead({root + "/link/../target.txt"}), std::vector<std::string>{root + "/link/../target.txt"});
        // Each as the system opens it, the file named by the path shown.
        const std::vector<std::pair<std::string, std::string>> cases{
            {"/link/../target.txt", "/real/target.txt"},
            {"/link/./../target.txt", "/real/target.txt"},
            {"/link/inner/../target.txt", "/link/target.txt"},  // a real folder inside the link
            {"/real/sub/../target.txt", "/real/target.txt"},
            {"/d\xE9j\xE0/../target.txt", "/target.txt"},
            {"/link/..", "/real"},
            {"/link//./target.txt", "/link/target.txt"},  // no "..": no link is followed
        };
        for (const auto& [given, opened] : cases) {
            QCOMPARE(filesOpened({root + given}), std::vector<std::string>{root + opened});
            QCOMPARE(contentOf(root + opened), contentOf(root + given));
        }
        QCOMPARE(filesOpened({"/.." + root + "/target.txt"}), std::vector<std::string>{root + "/target.txt"});
        // Where the system cannot go through, the path stays as given, and opening it says why.
        for (const std::string given :
             {"/missing/../target.txt", "/target.txt/../target.txt", "/dangling/../target.txt"}) {
            QCOMPARE(filesOpened({root + given}), std::vector<std::string>{root + given});
            QCOMPARE(contentOf(root + given), std::string("(no file)"));
        }
        QCOMPARE(filesOpened({root + "/target.txt/."}), std::vector<std::string>{root + "/target.txt/"});

        // A relative name goes from the current folder, through its links too.
        const QString previous = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
        QVERIFY(QDir::setCurrent(QString::fromStdString(root + "/link")));
        QCOMPARE(filesOpened({"../target.txt"}), std::vector<std::string>{root + "/real/target.txt"});
    }

    void commandLineWithoutADisplaySaysSoUnlessThePlatformNeedsNone()
    {
        const char* const names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        std::vector<std::optional<QByteArray>> saved;
        for (const char* name : names) {
            saved.push_back(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
            qunsetenv(name);
        }
        const auto restore = qScopeGuard([&] {
            for (std::size_t i = 0; i < saved.size(); ++i) {
                saved[i] ? qputenv(names[i], *saved[i]) : qunsetenv(names[i]);
            }
        });
        std::vector<std::u16string> files;
        std::string out, err;
        QCOMPARE(read({"notes.txt"}, files, out, err), std::optional<int>(1));
        QCOMPARE(err,
                 std::string("quorvin : aucun affichage n'est disponible (la variable DISPLAY n'est pas définie).\n"));
        QVERIFY(out.empty() && files.empty());
        QCOMPARE(read({"--version"}, files, out, err), std::optional<int>(0));
        QCOMPARE(read({"--help"}, files, out, err), std::optional<int>(0));
        QCOMPARE(read({"--bogus"}, files, out, err), std::optional<int>(2));

        // What the environment holds, the options given, and whether Qt can start.
        struct Case {
            const char* variable;
            const char* value;
            std::vector<const char*> arguments;
            bool starts;
        };
        const std::vector<Case> cases{
            {"QT_QPA_PLATFORM", "offscreen", {}, true},
            {"QT_QPA_PLATFORM", "minimal", {}, true},
            {"QT_QPA_PLATFORM", "vnc:size=800x600", {}, true},
            {"QT_QPA_PLATFORM", "xcb", {}, false},
            {"QT_QPA_PLATFORM", "xcb;offscreen", {}, true},  // tried in turn
            {"QT_QPA_PLATFORM", "", {}, false},
            {"QT_QPA_PLATFORM", "xcb", {"-platform", "offscreen"}, true},  // the option wins
            {"QT_QPA_PLATFORM", "offscreen", {"-platform", "xcb"}, false},
            {"QT_QPA_PLATFORM", "xcb", {"-display", ":7"}, true},
            {"DISPLAY", ":0", {}, true},
            {"DISPLAY", "", {}, false},
            {"WAYLAND_DISPLAY", "wayland-0", {}, true},
            {"DISPLAY", ":0", {"-platform", "xcb"}, true},
            {nullptr, nullptr, {"--platform", "offscreen"}, true},
            {nullptr, nullptr, {"-display", ":7"}, true},
        };
        for (const Case& c : cases) {
            if (c.variable != nullptr) {
                qputenv(c.variable, c.value);
            }
            std::vector<const char*> arguments = c.arguments;
            arguments.push_back("notes.txt");
            files.clear();
            const std::optional<int> code = read(arguments, files, out, err);
            if (c.variable != nullptr) {
                qunsetenv(c.variable);
            }
            const QByteArray what = QByteArray(c.variable ? c.variable : "") + '=' + (c.value ? c.value : "") + ' ' +
                                    QByteArray(c.arguments.empty() ? "" : c.arguments[0]);
            QVERIFY2(code == (c.starts ? std::optional<int>() : std::optional<int>(1)), what.constData());
            QCOMPARE(files.size(), std::size_t(c.starts ? 1 : 0));
        }
    }

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

    void desktopSystemInfoStartsTheDesktopsToolFromPathWithoutAShell()
    {
        QTemporaryDir dir;
        const QString started = dir.path() + QStringLiteral("/started");
        // Stand-ins that write how they were started.
        for (const char* name : {"hardinfo", "gnome-control-center", "kinfocenter"}) {
            QFile tool(dir.path() + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(tool.open(QIODevice::WriteOnly));
            tool.write(("#!/bin/sh\necho \"${0##*/} $*\" >> '" + started.toStdString() + "'\n").c_str());
            tool.close();
            tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const auto restore = qScopeGuard([path = qgetenv("PATH"), desktop = qgetenv("XDG_CURRENT_DESKTOP")] {
            qputenv("PATH", path);
            qputenv("XDG_CURRENT_DESKTOP", desktop);
        });
        const auto startWith = [&](const char* desktopName, const QString& onPath) {
            qputenv("XDG_CURRENT_DESKTOP", desktopName);
            qputenv("PATH", onPath.toLocal8Bit());
            QtDesktopSystemInfo tool;
            return tool.start();
        };
        const auto lastStarted = [&] {
            QFile log(started);
            if (!QTest::qWaitFor([&] { return log.exists() && log.size() > 0; }, 5000) ||
                !log.open(QIODevice::ReadOnly)) {
                return QString();
            }
            const QString text = QString::fromUtf8(log.readAll()).trimmed();
            log.remove();
            return text;
        };

        QVERIFY(startWith("ubuntu:GNOME", dir.path()));
        QCOMPARE(lastStarted(), QStringLiteral("gnome-control-center info-overview"));
        QVERIFY(startWith("KDE", QStringLiteral("/nonexistent:") + dir.path()));
        QCOMPARE(lastStarted(), QStringLiteral("kinfocenter"));
        // Elsewhere GNOME's settings refuse to run: the first program that runs anywhere.
        QVERIFY(startWith("", dir.path()));
        QCOMPARE(lastStarted(), QStringLiteral("kinfocenter"));
        QFile::remove(dir.path() + QStringLiteral("/kinfocenter"));
        QVERIFY(startWith("LXQt", dir.path()));
        QCOMPARE(lastStarted(), QStringLiteral("hardinfo"));
        QVERIFY(!startWith("GNOME", QStringLiteral("/nonexistent")));
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

    void openFileDialogReopensWhereTheLastFileWasChosenAndSpeaksFrench()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dossier")));
        const QString file = dir.path() + QStringLiteral("/dossier/notes.txt");
        QFile notes(file);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("six o.");
        notes.close();
        OpenFileRecord record;
        record.fileBuffer.assign(254, u' ');
        QtOpenFileDialog dialogs;
        answerNextFileDialog(file);
        QVERIFY(dialogs.show(record));

        // The tests run in an English locale: the sizes, dates and folder type shown are French all the same.
        QString directory, size, date, folderType;
        bool listed = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            directory = dialog->directory().absolutePath();
            auto* model = dialog->findChild<QFileSystemModel*>();
            listed = QTest::qWaitFor([&] { return model->index(file).isValid(); }, 5000);
            dialog->setDirectory(dir.path());
            listed = QTest::qWaitFor([&] { return model->index(dir.path() + QStringLiteral("/dossier")).isValid(); },
                                     5000) &&
                     listed;
            const QAbstractProxyModel* shown = dialog->proxyModel();
            const QModelIndex row = shown->mapFromSource(model->index(file));
            const QModelIndex folder = shown->mapFromSource(model->index(dir.path() + QStringLiteral("/dossier")));
            size = shown->index(row.row(), 1, row.parent()).data().toString();
            date = shown->index(row.row(), 3, row.parent()).data().toString();
            folderType = shown->index(folder.row(), 2, folder.parent()).data().toString();
            dialog->reject();
        });
        QVERIFY(!dialogs.show(record));
        QVERIFY(listed);
        QCOMPARE(directory, dir.path() + QStringLiteral("/dossier"));
        QCOMPARE(size, QStringLiteral("6 octets"));
        QCOMPARE(
            date,
            QLocale(QLocale::French, QLocale::France).toString(QFileInfo(file).lastModified(), QLocale::ShortFormat));
        QVERIFY2(date.contains(u'/'), qPrintable(date));
        QCOMPARE(folderType, QStringLiteral("Dossier"));
    }

    // Qt's own icon provider reads the first bytes of a file whose name says nothing, to pick its icon and type:
    // a file whose read never returns would freeze the program. The dialog lists a folder without opening
    // any of its files, a FIFO nobody writes included, and tells their types by their names.
    void openFileDialogListsAFolderWithoutOpeningItsFiles()
    {
        QTemporaryDir dir;
        const QStringList names{"sans-extension", "image", "lettre.txt"};
        writeFile(dir.filePath(names[0]), "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n");
        writeFile(dir.filePath(names[1]), QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
        writeFile(dir.filePath(names[2]), "%PDF-1.4\n");  // a name that says otherwise than the bytes
        // Not listed (the dialog shows no system files), but looked at all the same.
        const FifoWatch fifo(QFile::encodeName(dir.filePath(QStringLiteral("tube"))));
        FolderAccesses accesses(dir.path());

        OpenFileRecord record;
        record.fileBuffer.assign(254, u' ');
        record.initialDir = fromQtPath(dir.path());
        QStringList types;
        bool listed = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            auto* model = dialog->findChild<QFileSystemModel*>();
            listed = QTest::qWaitFor(
                [&] {
                    return std::all_of(names.begin(), names.end(),
                                       [&](const QString& name) { return model->index(dir.filePath(name)).isValid(); });
                },
                5000);
            // What the view asks when it paints each row, and the model's later updates.
            for (const QString& name : names) {
                const QModelIndex row = model->index(dir.filePath(name));
                model->data(row, Qt::DecorationRole);
                types << model->index(row.row(), 2, row.parent()).data().toString();
            }
            QTest::qWait(500);
            dialog->reject();
        });
        QtOpenFileDialog dialogs;
        QVERIFY(!dialogs.show(record));
        QVERIFY2(accesses.seen().isEmpty(), qPrintable(accesses.seen().join(u',')));
        QVERIFY2(!fifo.openedToRead(), "the dialog opened the FIFO to read it");
        QVERIFY(listed);
        const QString plainText = QMimeDatabase().mimeTypeForName(QStringLiteral("text/plain")).comment();
        QCOMPARE(types, QStringList({"Fichier", "Fichier", plainText}));
    }

    // The program keeps nothing between runs: QtProject.conf, where Qt's dialog keeps its last folder, its
    // history and its side bar, is neither read nor written, and what a past run left there is not offered.
    void openFileDialogNeitherReadsNorWritesQtsSettings()
    {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QCOMPARE(config, configHome_.path());
        QTemporaryDir past, now;
        const QString pastUrl = QUrl::fromLocalFile(past.path()).toString();
        const QByteArray left = "[FileDialog]\nhistory=" + pastUrl.toUtf8() + "\nlastVisited=" + pastUrl.toUtf8() +
                                "\nshortcuts=" + pastUrl.toUtf8() + "\nviewMode=Detail\nqtVersion=6.4.2\n";
        writeFile(config + QStringLiteral("/QtProject.conf"), left);
        const QString file = now.filePath(QStringLiteral("notes.txt"));
        writeFile(file, "abc");
        FolderAccesses accesses(config);

        QStringList history, sidebar;
        QString directory;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            history = dialog->history();
            directory = dialog->directory().absolutePath();
            for (const QUrl& url : dialog->sidebarUrls()) {
                sidebar << url.toLocalFile();
            }
            dialog->reject();
        });
        OpenFileRecord record;
        record.fileBuffer.assign(254, u' ');
        QtOpenFileDialog dialogs;  // as a new run's
        QVERIFY(!dialogs.show(record));
        answerNextFileDialog(file);
        QVERIFY(dialogs.show(record));

        QVERIFY2(!history.contains(past.path()), qPrintable(history.join(u' ')));
        QVERIFY2(!sidebar.contains(past.path()), qPrintable(sidebar.join(u' ')));
        QVERIFY(directory != past.path());
        QVERIFY2(accesses.seen().isEmpty(), qPrintable(accesses.seen().join(u',')));
        QFile kept(config + QStringLiteral("/QtProject.conf"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), left);
        QCOMPARE(QDir(config).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"QtProject.conf"}));
    }

    // A pasted text of any length leaves the box inside the screen, its OK button and the whole path with it;
    // long words wrap instead of being cut.
    void longSearchTextsKeepTheMessageOnTheScreen()
    {
        QWidget owner;
        owner.show();
        QtMessageBox boxes;
        const std::u16string path = u"/home/utilisateur/" + std::u16string(400, u'd') + u"/fichier-cherché.txt";
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const int length : {10'000, 100'000}) {
            for (const bool spaces : {false, true}) {
                std::u16string text;
                for (int i = 0; i < length; ++i) {
                    text.push_back(spaces && i % 9 == 8 ? u' ' : u'W');
                }
                QRect frame, ok;
                QString shown;
                int labelWidth = 0, widestWord = 0, labelHeight = 0, textHeight = 0;
                whenShown<QMessageBox>([&](QMessageBox* box) {
                    frame = box->frameGeometry();
                    QAbstractButton* button = box->button(QMessageBox::Ok);
                    ok = QRect(button->mapToGlobal(QPoint(0, 0)), button->size());
                    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                    shown = label->text().remove(QChar(0x200B));
                    labelWidth = label->width();
                    widestWord = label->minimumSizeHint().width();
                    labelHeight = label->height();
                    textHeight = label->heightForWidth(labelWidth);
                    QTest::keySequence(box, QKeySequence::Copy);
                    box->accept();
                });
                boxes.show(handleOf(&owner), messages::notFound(text, path), u"Chaîne non trouvée", kMessageOk);
                const QString context = QStringLiteral("%1 characters%2").arg(length).arg(spaces ? " with spaces" : "");
                QVERIFY2(screen.contains(frame), qPrintable(context));
                QVERIFY2(screen.contains(ok), qPrintable(context));
                QVERIFY2(frame.height() <= screen.height() * 2 / 3 + 1, qPrintable(context));
                QVERIFY2(widestWord <= labelWidth && textHeight <= labelHeight, qPrintable(context));  // nothing cut
                QVERIFY2(shown.endsWith(QStringLiteral("\n") + qs(path)), qPrintable(context));
                QVERIFY2(shown.contains(QStringLiteral(" \u2026 ")), qPrintable(context));
                QCOMPARE(QGuiApplication::clipboard()->text(), withLineFeeds(messages::notFound(text, path)));
            }
        }
    }

    // One dialog serves every use and is never destroyed (its file model would wait for a look at a stalled
    // file as it goes): between uses it is hidden, owned by no window, its name list closed, and the next use
    // opens as a new dialog would, where the last file was chosen, its name box empty.
    void openFileDialogIsKeptHiddenBetweenUsesAndOpensAfresh()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("notes.txt"));
        writeFile(file, "abc");
        QWidget owner;
        owner.show();
        OpenFileRecord record;
        record.owner = handleOf(&owner);
        record.fileBuffer.assign(254, u' ');
        QtOpenFileDialog dialogs;
        QPointer<QFileDialog> first;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            first = dialog;
            auto* model = dialog->findChild<QFileSystemModel*>();
            dialog->setDirectory(dir.path());
            QVERIFY(QTest::qWaitFor([&] { return model->index(file).isValid(); }, 5000));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QTest::keyClicks(name, QStringLiteral("no"));  // the name completer's list shows
            name->setText(file);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
        });
        QVERIFY(dialogs.show(record));
        QVERIFY(first);
        QVERIFY(!first->isVisible() && first->parentWidget() == nullptr);
        for (const QCompleter* completer : first->findChildren<QCompleter*>()) {
            QVERIFY(!completer->popup()->isVisible());
        }

        QString nameShown, directory;
        QFileDialog* second = nullptr;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            second = dialog;
            nameShown = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            directory = dialog->directory().absolutePath();
            QVERIFY(dialog->parentWidget() == &owner);
            dialog->reject();
        });
        record.fileBuffer.assign(254, u' ');
        QVERIFY(!dialogs.show(record));
        QCOMPARE(second, first.data());
        QCOMPARE(nameShown, QString());
        QCOMPARE(directory, dir.path());
        QVERIFY(first->parentWidget() == nullptr);
    }

    // A wait for events answers them as they come, not at its end, and ends as soon as another thread wakes
    // it; unwoken, it lasts its time.
    void waitForEventsAnswersAsEventsComeAndEndsWhenWoken()
    {
        QtWindowSystem windows;
        using Clock = std::chrono::steady_clock;
        const auto since = [](Clock::time_point start) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        };
        std::atomic<std::int64_t> answeredAfter{-1};
        Clock::time_point posted;
        std::thread poster([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            posted = Clock::now();
            QMetaObject::invokeMethod(
                qApp, [&] { answeredAfter = since(posted); }, Qt::QueuedConnection);
        });
        auto start = Clock::now();
        windows.waitForEvents(400, true);
        poster.join();
        QVERIFY(since(start) >= 390);
        QVERIFY2(answeredAfter >= 0 && answeredAfter < 40, qPrintable(QString::number(answeredAfter)));

        std::thread waker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            windows.wake();
        });
        start = Clock::now();
        windows.waitForEvents(5000, false);
        waker.join();
        QVERIFY2(since(start) < 1000, qPrintable(QString::number(since(start))));
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
