#include <windows.h>

#include <string>

#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

// The key names and values read here are ASCII, so the 8-bit calls lose nothing.

long Registry::openKey(RegistryKey root, std::string_view subKey, std::uint32_t access, RegistryKey& opened)
{
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(reinterpret_cast<HKEY>(root), std::string(subKey).c_str(), 0, access, &key);
    opened = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKey>(key) : 0;
    return status;
}

long Registry::queryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                          std::span<std::uint8_t> buffer, std::uint32_t& size)
{
    DWORD valueType = 0;
    DWORD bytes = static_cast<DWORD>(buffer.size());
    const LSTATUS status = RegQueryValueExA(reinterpret_cast<HKEY>(key), std::string(valueName).c_str(), nullptr,
                                            &valueType, buffer.data(), &bytes);
    type = valueType;
    size = bytes;
    return status;
}

long Registry::closeKey(RegistryKey key)
{
    return RegCloseKey(reinterpret_cast<HKEY>(key));
}

}  // namespace quorvin::platform::win32
