#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace quorvin::platform::qt {

QtPlatform::QtPlatform(std::function<void()> endProgram) : windows(std::move(endProgram)), previous_(services())
{
    services() = {
        &messageBox, &titledMessageBox, &openFileDialog, &shellOpen, &processStart,     &fileExists, &registry, &files,
        &clock,      &locale,           &application,    &windows,   &desktopSystemInfo};
}

QtPlatform::~QtPlatform()
{
    services() = previous_;
}

bool installFrenchTranslations()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

void prepareApplication()
{
    QApplication::setApplicationName(QStringLiteral("Quorvin"));
    // The installed desktop entry's name, so that docks and Wayland match the windows with its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zz-quorvin"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(QUORVIN_VERSION_MAJOR).arg(QUORVIN_VERSION_MINOR).arg(QUORVIN_VERSION_PATCH));
    // The program ends when its main window says so, not when a window happens to be the last one.
    QApplication::setQuitOnLastWindowClosed(false);
    // The designs ask for Comic Sans MS; the comic face most like it stands in where it is missing.
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("Comic Relief")});
    installFrenchTranslations();
    // Qt's own words are French: so are the names of file types and the sizes and dates its file dialog
    // shows. Numbers the program writes itself keep the separator of the user's locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QApplication::setWindowIcon(pictureResource("app_icon"));
}

}  // namespace quorvin::platform::qt
