#include <QCoreApplication>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

Version QtApplication::version()
{
    return {QUORVIN_VERSION_MAJOR, QUORVIN_VERSION_MINOR, QUORVIN_VERSION_PATCH};
}

std::u16string QtApplication::executableFolder()
{
    return fromQtPath(QCoreApplication::applicationDirPath());
}

}  // namespace quorvin::platform::qt
