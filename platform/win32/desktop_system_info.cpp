#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

// Windows names its tool, MSINFO32.EXE, in the registry; no other is looked for.
bool DesktopSystemInfo::start()
{
    return false;
}

}  // namespace quorvin::platform::win32
