// Quorvin for Linux: the main window, on Qt 6 Widgets.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "main_window/frm_scan.h"
#include "platform/qt/command_line.h"
#include "platform/qt/qt_platform.h"

int main(int argc, char* argv[])
{
    std::vector<std::u16string> files;
    if (const auto exitCode = quorvin::platform::qt::readCommandLine({argv, static_cast<std::size_t>(argc)}, files,
                                                                     std::cout, std::cerr)) {
        return *exitCode;
    }
    QApplication app(argc, argv);
    quorvin::platform::qt::prepareApplication();
    quorvin::platform::qt::QtPlatform platform;
    quorvin::FrmScan form;
    form.show();
    // Once the window is up, so that a message about the file has its owner on screen.
    QTimer::singleShot(0, [&form, &files] { form.OpenWith(files); });
    return QApplication::exec();
}
