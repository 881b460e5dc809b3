#include <windows.h>

#include <vector>

#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

Version Application::version()
{
    return {QUORVIN_VERSION_MAJOR, QUORVIN_VERSION_MINOR, QUORVIN_VERSION_PATCH};
}

std::u16string Application::executableFolder()
{
    // The buffer grows until the whole path fits, however long it is.
    std::vector<char16_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            std::u16string name(path.data(), length);
            return name.substr(0, name.find_last_of(u"\\/"));
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace quorvin::platform::win32
