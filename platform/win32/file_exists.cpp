#include <windows.h>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

namespace {

// The attributes of an existing file that is neither a folder nor a device; nothing otherwise.
std::optional<DWORD> fileAttributes(std::u16string_view fileName)
{
    const DWORD attributes = GetFileAttributesW(wide(fileName).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
        return std::nullopt;
    }
    return attributes;
}

}  // namespace

bool FileExists::exists(std::u16string_view fileName)
{
    const std::optional<DWORD> attributes = fileAttributes(fileName);
    return attributes && !(*attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

bool FileExists::isFile(std::u16string_view fileName)
{
    return fileAttributes(fileName).has_value();
}

}  // namespace quorvin::platform::win32
