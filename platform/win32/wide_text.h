#pragma once
// UTF-16 text crosses to the wide Win32 functions as it is: wchar_t is 16 bits on Windows.
#include <string>
#include <string_view>

namespace quorvin::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

// A NUL-ended copy, for the functions that take a C string.
inline std::wstring wide(std::u16string_view text)
{
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

inline std::u16string fromWide(std::wstring_view text)
{
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// A pointer for an optional text argument: empty gives no text at all.
inline const wchar_t* orNull(const std::wstring& text)
{
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace quorvin::platform::win32
