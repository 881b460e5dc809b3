#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QScopeGuard>
#include <QSettings>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/window_handle.h"

namespace quorvin::platform::qt {

namespace {

// The record's list "text\0pattern\0...\0\0" as Qt name filters, "text (patterns)". The patterns are
// not shown (the text usually names them already); "*.*" becomes "*" so that names without a dot show.
QStringList nameFilters(const std::u16string& filter)
{
    const QStringList items = toQString(filter).split(QChar(u'\0'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size() && !items[i].isEmpty(); i += 2) {
        QStringList patterns = items[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            if (pattern.trimmed() == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        filters << items[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

// What the file-name box opens with: the buffer up to its first NUL, without its padding blanks.
QString initialName(const std::u16string& buffer)
{
    return toQtPath(std::u16string_view(buffer).substr(0, buffer.find(u'\0'))).trimmed();
}

// Qt's own dialog writes sizes and dates in the system's locale, and calls a folder "Folder", whatever
// the language of its other words: this view of its files says them in French too.
class FrenchFileDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || files == nullptr) {
            return QIdentityProxyModel::data(index, role);
        }
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale french(QLocale::French, QLocale::France);
        switch (index.column()) {
        case 1:
            return info.isDir() ? QString() : french.formattedDataSize(info.size());
        case 2:
            return info.isDir() ? QStringLiteral("Dossier") : QIdentityProxyModel::data(index, role);
        case 3:
            return french.toString(info.lastModified(), QLocale::ShortFormat);
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

// Icons and types told from names alone. Qt's own provider reads the first bytes of a file whose name
// says nothing, on the user-interface thread, to pick its icon and type: a folder holding a file whose
// read never returns (/proc/kmsg, a stalled network mount) would freeze the program for good.
class IconsByName final : public QFileIconProvider {
public:
    IconsByName()
        : file_(QFileIconProvider::icon(File)), folder_(QFileIconProvider::icon(Folder)),
          drive_(QFileIconProvider::icon(Drive))
    {
    }

    // The model may ask from its own thread: the icons are made here, on the user-interface thread.
    QIcon icon(IconType type) const override
    {
        switch (type) {
        case File:
            return file_;
        case Folder:
            return folder_;
        case Drive:
            return drive_;
        default:
            return QFileIconProvider::icon(type);
        }
    }

    QIcon icon(const QFileInfo& info) const override
    {
        if (info.isRoot()) {
            return drive_;
        }
        return info.isDir() ? folder_ : file_;
    }

    QString type(const QFileInfo& info) const override
    {
        if (info.isDir()) {
            return QStringLiteral("Dossier");
        }
        const QMimeType type = mimeTypes_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        return type.isDefault() ? QStringLiteral("Fichier") : type.comment();
    }

private:
    QIcon file_;
    QIcon folder_;
    QIcon drive_;
    QMimeDatabase mimeTypes_;
};

// Qt's dialog keeps its folders, its history and its layout in QtProject.conf, and reopens where the
// last run left it. The program keeps nothing between runs: Qt's settings are sent where no file can
// ever be made (a path under /dev/null), so that they are neither read nor written.
void keepNoSettings()
{
    static const bool redirected = [] {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
                QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
            }
        }
        return true;
    }();
    (void)redirected;
}

// The program's one dialog, made at its first use and never destroyed: Qt's file model waits for its
// thread as it goes, and that thread may be blocked for good in a look at a stalled mount's file, which
// would freeze the window (the dialog closed) or the end of the process. Between uses it is hidden and
// owned by no window, so that no window takes it along as it goes.
struct KeptDialog {
    KeptDialog()
    {
        dialog.setIconProvider(&icons);
        dialog.setOptions(QFileDialog::HideNameFilterDetails);  // the desktop's own dialog where it offers one
        dialog.setProxyModel(new FrenchFileDetails(&dialog));   // Qt's own dialog only; the dialog owns it
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setWindowModality(Qt::ApplicationModal);
        firstFilters = dialog.nameFilters();
        firstFolder = dialog.directory().absolutePath();
    }

    IconsByName icons;  // made before the dialog, which does not own it
    QFileDialog dialog;
    // What a new dialog would open with, for a record that asks for nothing else.
    QStringList firstFilters;
    QString firstFolder;
};

KeptDialog& keptDialog()
{
    keepNoSettings();
    static KeptDialog* const kept = new KeptDialog;  // never deleted: see above
    return *kept;
}

}  // namespace

bool QtOpenFileDialog::show(OpenFileRecord& record)
{
    KeptDialog& kept = keptDialog();
    QFileDialog& dialog = kept.dialog;
    dialog.setParent(widgetOf(record.owner), dialog.windowFlags());  // shown over its owner
    // Put away as if it were destroyed: its name completer's list, a window of its own that a hidden dialog
    // leaves up, would take every key and the activation from the owner.
    const auto putAway = qScopeGuard([&dialog] {
        for (QCompleter* completer : dialog.findChildren<QCompleter*>()) {
            completer->popup()->hide();
        }
        dialog.setParent(nullptr, dialog.windowFlags());
    });
    dialog.setWindowTitle(toQString(record.title));
    dialog.setFileMode((record.flags & kOfnFileMustExist) != 0 ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = nameFilters(record.filter);
    dialog.setNameFilters(filters.isEmpty() ? kept.firstFilters : filters);
    if (!record.initialDir.empty()) {
        dialog.setDirectory(toQtPath(record.initialDir));
    } else {
        // Where the last file was chosen, remembered for this run only; else where a new dialog opens.
        dialog.setDirectory(lastFolder_.isEmpty() ? kept.firstFolder : lastFolder_);
    }
    dialog.setHistory({});  // each use starts afresh, as a new dialog would
    if (const QString name = initialName(record.fileBuffer); !name.isEmpty()) {
        dialog.selectFile(name);
    } else if (auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        edit->clear();  // the name chosen last time; Qt's own dialog only
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(chosen).absolutePath();
    record.fileBuffer = fromQtPath(chosen) + u'\0';
    record.fileTitleBuffer = fromQtPath(QFileInfo(chosen).fileName()) + u'\0';
    return true;
}

}  // namespace quorvin::platform::qt
