#include <windows.h>

#include <shellapi.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

void ShellOpen::open(WindowHandle owner, std::u16string_view verb, std::u16string_view target,
                     std::u16string_view parameters, std::u16string_view workingFolder, int showState)
{
    const std::wstring wideParameters = wide(parameters);
    const std::wstring wideFolder = wide(workingFolder);
    // The outcome is not examined: a target without a handler simply does not open.
    ShellExecuteW(reinterpret_cast<HWND>(owner), wide(verb).c_str(), wide(target).c_str(), orNull(wideParameters),
                  orNull(wideFolder), showState);
}

}  // namespace quorvin::platform::win32
