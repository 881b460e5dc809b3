#include <QDesktopServices>
#include <QUrl>

#include "platform/qt/qt_services.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

// Only "Open" exists here: the desktop opens the target in its default handler. A target without a
// scheme is a local document.
void QtShellOpen::open(WindowHandle, std::u16string_view, std::u16string_view target, std::u16string_view,
                       std::u16string_view, int)
{
    const QUrl url(toQString(target));
    QDesktopServices::openUrl(url.scheme().isEmpty() ? QUrl::fromLocalFile(toQtPath(target)) : url);
}

}  // namespace quorvin::platform::qt
