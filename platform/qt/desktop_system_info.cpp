#include <QProcess>
#include <QStandardPaths>
#include <array>
#include <initializer_list>

#include "platform/process_start.h"
#include "platform/qt/qt_services.h"

namespace quorvin::platform::qt {

namespace {

struct Tool {
    const char* desktop;   // as XDG_CURRENT_DESKTOP names it
    bool anyDesktop;       // also runs, and is worth offering, outside its own desktop
    const char* program;   // looked for on PATH
    const char* argument;  // opens its page about the machine; null for none
};

// The system-information programs of the Linux desktops. Those of the user's desktop come first, then
// those that run anywhere, in this order.
constexpr std::array<Tool, 6> kTools{{
    {"KDE", true, "kinfocenter", nullptr},
    {"GNOME", false, "gnome-control-center", "info-overview"},
    {"X-Cinnamon", false, "cinnamon-settings", "info"},
    {"XFCE", true, "xfce4-about", nullptr},
    {"", true, "hardinfo2", nullptr},
    {"", true, "hardinfo", nullptr},
}};

}  // namespace

bool QtDesktopSystemInfo::start()
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    const auto ofThisDesktop = [&](const Tool& tool) {
        return desktops.contains(QLatin1String(tool.desktop), Qt::CaseInsensitive);
    };
    for (const bool ownDesktop : {true, false}) {
        for (const Tool& tool : kTools) {
            if (ownDesktop ? !ofThisDesktop(tool) : (!tool.anyDesktop || ofThisDesktop(tool))) {
                continue;
            }
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
            if (path.isEmpty()) {
                continue;
            }
            const QStringList arguments =
                tool.argument != nullptr ? QStringList{QString::fromLatin1(tool.argument)} : QStringList{};
            if (!QProcess::startDetached(path, arguments)) {
                throw ProcessStartError("cannot start " + path.toStdString());
            }
            return true;
        }
    }
    return false;
}

}  // namespace quorvin::platform::qt
