#include <windows.h>

#include "platform/win32/win32_services.h"
#include "platform/win32/wide_text.h"

namespace quorvin::platform::win32 {

void MessageBoxes::show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type)
{
    // Windows breaks lines at a lone CR as at CR LF, so the text goes as it is.
    MessageBoxW(reinterpret_cast<HWND>(owner), wide(text).c_str(), wide(caption).c_str(), static_cast<UINT>(type));
}

}  // namespace quorvin::platform::win32
