#include <QLocale>

#include "platform/qt/qt_services.h"

namespace quorvin::platform::qt {

char16_t QtLocale::decimalSeparator()
{
    const QString separator = QLocale::system().decimalPoint();
    return separator.size() == 1 ? separator.front().unicode() : u'.';
}

// Files are read as Western European text, whatever the user's locale.
const CodePage& QtLocale::codePage()
{
    return CodePage::windows1252();
}

}  // namespace quorvin::platform::qt
