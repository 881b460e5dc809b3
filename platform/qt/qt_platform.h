#pragma once
// Every Linux service, installed as the program's services for as long as a QtPlatform lives.
#include <functional>

#include "platform/posix/binary_file.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/window_system.h"

namespace quorvin::platform::qt {

struct QtPlatform {
    // `endProgram` as for QtWindowSystem.
    explicit QtPlatform(std::function<void()> endProgram = {});
    ~QtPlatform();
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    QtApplication application;
    QtMessageBox messageBox;
    QtTitledMessageBox titledMessageBox{application};
    QtOpenFileDialog openFileDialog;
    QtShellOpen shellOpen;
    QtProcessStart processStart;
    QtFileExists fileExists;
    NoRegistry registry;
    posix::PosixBinaryFiles files;
    QtClock clock;
    QtLocale locale;
    QtWindowSystem windows;
    QtDesktopSystemInfo desktopSystemInfo;

private:
    Services previous_;
};

// The program speaks French: Qt's own dialogs and buttons too, whatever the user's locale.
// False when Qt's French translations are not installed.
bool installFrenchTranslations();

// Sets up a QApplication for Quorvin: its name, its icon, French dialogs, its one quit path.
void prepareApplication();

}  // namespace quorvin::platform::qt
