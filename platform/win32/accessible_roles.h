#pragma once
// Tells screen readers (MSAA, and UI Automation through it) what a window or a control is where its class
// alone does not: a window drawn as a dialog is a dialog, a label that opens an address is a link.
#include <windows.h>

#include <string>

namespace quorvin::platform::win32 {

// The answer to WM_GETOBJECT for the client object of `hwnd`: the system's own object for it, but with
// `role` (a ROLE_SYSTEM_ value) and, unless `value` is empty, that value. 0, so that the system answers,
// for any other object or where the accessibility library is missing.
LRESULT accessibleWithRole(HWND hwnd, WPARAM wParam, LPARAM lParam, long role, const std::wstring& value);

}  // namespace quorvin::platform::win32
