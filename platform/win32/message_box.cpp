#include <windows.h>

#include "platform/win32/scoped_handles.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

namespace {

// A message box widens itself to its longest word, past the screen's edge for a pasted text or a deep
// path. A word wider than half the screen, in the boxes' font, is broken into lines of that width.
std::wstring breakingLongWords(const std::wstring& text)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const ScopedFont font(CreateFontIndirectW(&metrics.lfMessageFont));
    const WindowDC screen(nullptr);
    const HDC dc = screen.get();
    const SelectedObject selected(dc, font.get());
    const int widest = GetSystemMetrics(SM_CXSCREEN) / 2;

    std::wstring broken;
    broken.reserve(text.size() + text.size() / 16);
    int width = 0;  // of the word so far, on its current line
    for (const wchar_t c : text) {
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            width = 0;
        } else if (!IS_LOW_SURROGATE(c)) {
            SIZE size{};
            GetTextExtentPoint32W(dc, &c, 1, &size);
            if (width > 0 && width + size.cx > widest) {
                broken += L"\r\n";
                width = 0;
            }
            width += size.cx;
        }
        broken += c;
    }
    return broken;
}

}  // namespace

void MessageBoxes::show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type)
{
    // Windows breaks lines at a lone CR as at CR LF, so the text goes as it is, but for its longest words.
    MessageBoxW(reinterpret_cast<HWND>(owner), breakingLongWords(wide(text)).c_str(), wide(caption).c_str(),
                static_cast<UINT>(type));
}

}  // namespace quorvin::platform::win32
