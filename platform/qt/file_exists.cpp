#include <QFileInfo>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

bool QtFileExists::isFile(std::u16string_view fileName)
{
    return !fileName.empty() && QFileInfo(toQtPath(fileName)).isFile();
}

// A dot file is the Linux hidden file.
bool QtFileExists::exists(std::u16string_view fileName)
{
    const QFileInfo info(toQtPath(fileName));
    return isFile(fileName) && !info.isHidden() && !info.fileName().startsWith(QLatin1Char('.'));
}

}  // namespace quorvin::platform::qt
