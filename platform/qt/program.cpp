#include "platform/qt/program.h"

#include <QApplication>
#include <QTimer>

#include "platform/qt/qt_platform.h"

namespace quorvin::platform::qt {

struct Program::Parts {
    // The application is set up before any service is made.
    struct PreparedApplication {
        PreparedApplication(int& argc, char** argv) : application(argc, argv) { prepareApplication(); }
        QApplication application;
    };

    Parts(int& argc, char** argv) : prepared(argc, argv) {}
    PreparedApplication prepared;
    QtPlatform platform;
};

Program::Program(int& argc, char** argv) : parts_(std::make_unique<Parts>(argc, argv)) {}

Program::~Program() = default;

int Program::run(const std::function<void()>& started)
{
    QTimer::singleShot(0, started);
    return QApplication::exec();
}

}  // namespace quorvin::platform::qt
