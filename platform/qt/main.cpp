// Quorvin for Linux: the main window, on Qt 6 Widgets.
#include <QApplication>

#include "main_window/frm_scan.h"
#include "platform/qt/qt_platform.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    quorvin::platform::qt::prepareApplication();
    quorvin::platform::qt::QtPlatform platform;
    quorvin::FrmScan form;
    form.show();
    return QApplication::exec();
}
