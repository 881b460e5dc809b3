#pragma once
// Opaque handles that cross the seam between the core and a front end.
#include <cstdint>

namespace quorvin::platform {

// A native window (HWND on Windows, the widget's address elsewhere). 0 means no window.
using WindowHandle = std::uintptr_t;

// The running program's instance (HINSTANCE on Windows, 0 elsewhere).
using InstanceHandle = std::uintptr_t;

}  // namespace quorvin::platform
