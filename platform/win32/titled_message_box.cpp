#include <windows.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

void TitledMessageBoxes::show(std::u16string_view text, int style, const std::optional<std::u16string>& title)
{
    // No owner, yet every window of the program waits for the box; afterwards the user is back where they were.
    HWND active = GetActiveWindow();
    MessageBoxW(nullptr, wide(text).c_str(), wide(title.value_or(application_.title())).c_str(),
                static_cast<UINT>(style) | MB_TASKMODAL);
    if (active && IsWindow(active)) {
        SetActiveWindow(active);
    }
}

}  // namespace quorvin::platform::win32
