#include <QProcess>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

// The path is the program itself, never a command line for a shell to split.
void QtProcessStart::start(std::u16string_view programPath, int)
{
    if (!QProcess::startDetached(toQtPath(programPath), {})) {
        throw ProcessStartError("cannot start " + toQtPath(programPath).toStdString());
    }
}

}  // namespace quorvin::platform::qt
