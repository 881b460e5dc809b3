#include "platform/win32/command_line.h"

#include <windows.h>

#include <shellapi.h>

namespace quorvin::platform::win32 {

namespace {

std::u16string fullPath(const wchar_t* name)
{
    const DWORD size = GetFullPathNameW(name, 0, nullptr, nullptr);
    std::wstring path(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(name, size, path.data(), nullptr);
    if (length == 0 || length >= size) {
        path = name;  // left as given: opening it tells the user what is wrong
    } else {
        path.resize(length);
    }
    return {path.begin(), path.end()};
}

}  // namespace

CommandLine readCommandLine(const wchar_t* commandLine)
{
    CommandLine read;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(commandLine, &count);
    if (arguments == nullptr) {
        return read;
    }
    for (int i = 1; i < count; ++i) {
        if (std::wstring_view(arguments[i]) == L"/?") {
            read.help = true;
        } else if (arguments[i][0] != L'\0') {
            read.files.push_back(fullPath(arguments[i]));
        }
    }
    LocalFree(arguments);
    return read;
}

}  // namespace quorvin::platform::win32
