#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

void QtTitledMessageBox::show(std::u16string_view text, int style, const std::optional<std::u16string>& title)
{
    showMessage(nullptr, text, toQString(title ? *title : application_.title()), style);
}

}  // namespace quorvin::platform::qt
