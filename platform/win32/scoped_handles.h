#pragma once
// Owning wrappers for the Win32 handles the front end makes: each frees its handle when it goes or is
// given another, so a handle can neither leak nor be freed twice.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <utility>

namespace quorvin::platform::win32 {

template <class Handle, auto Free>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    ~Scoped() { reset(); }
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Scoped& operator=(Scoped&& other) noexcept
    {
        if (this != &other) {
            reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Frees the handle held, if any, and holds `handle` instead.
    void reset(Handle handle = nullptr)
    {
        if (handle_ != nullptr) {
            Free(handle_);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

inline void freeGdiObject(HGDIOBJ object)
{
    DeleteObject(object);
}
inline void freeIcon(HICON icon)
{
    DestroyIcon(icon);
}
inline void freeKernelHandle(HANDLE handle)
{
    CloseHandle(handle);
}
inline void freeDrop(HDROP drop)
{
    DragFinish(drop);
}

using ScopedFont = Scoped<HFONT, freeGdiObject>;
using ScopedBrush = Scoped<HBRUSH, freeGdiObject>;
using ScopedPen = Scoped<HPEN, freeGdiObject>;
using ScopedBitmap = Scoped<HBITMAP, freeGdiObject>;
using ScopedIcon = Scoped<HICON, freeIcon>;
using ScopedHandle = Scoped<HANDLE, freeKernelHandle>;  // files, processes, threads; never INVALID_HANDLE_VALUE
using ScopedDrop = Scoped<HDROP, freeDrop>;             // files dropped on a window

// A window's device context, from GetDC, released when it goes.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// The device context of WM_PAINT, from BeginPaint, ended when it goes.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDC() { EndPaint(window_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context, the previous one selected again when it goes, so the object
// is no longer in use when its own wrapper frees it.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace quorvin::platform::win32
