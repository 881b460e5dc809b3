#include <windows.h>

#include <string>

#include "platform/win32/scoped_handles.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

void ProcessStart::start(std::u16string_view programPath, int windowStyle)
{
    // The exact path names the program; the command line is only its quoted copy, so a path with spaces
    // can never start another program whose name is a prefix of it.
    const std::wstring program = wide(programPath);
    std::wstring commandLine = L"\"" + program + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);  // 1, normal with focus, is SW_SHOWNORMAL
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        throw ProcessStartError("CreateProcess failed, Win32 error " + std::to_string(GetLastError()));
    }
    const ScopedHandle thread(started.hThread), process(started.hProcess);  // the program runs on unwatched
}

}  // namespace quorvin::platform::win32
