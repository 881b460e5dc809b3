#include <windows.h>

#include <string>

#include "platform/win32/scoped_handles.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_services.h"

namespace quorvin::platform::win32 {

namespace {

FileFault faultOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
        return FileFault::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileFault::AccessDenied;
    case ERROR_CANT_RESOLVE_FILENAME:  // links that lead back to themselves
        return FileFault::LinkLoop;
    default:
        return FileFault::Other;
    }
}

[[noreturn]] void fail(FileFault fault, DWORD error)
{
    throw FileError(fault, "Win32 error " + std::to_string(error));
}

class Win32File final : public BinaryFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}

    std::int64_t length() override
    {
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_.get(), &size)) {
            fail(FileFault::ReadFailed, GetLastError());
        }
        return size.QuadPart;
    }

    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        std::size_t done = 0;
        while (done < into.size()) {
            // Each read names its own offset, so no shared file pointer is involved.
            const auto offset = static_cast<std::uint64_t>(position - 1) + done;
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(handle_.get(), into.data() + done, wanted, &got, &at)) {
                const DWORD error = GetLastError();
                if (error == ERROR_HANDLE_EOF) {
                    break;
                }
                // Another program's lock on the range is no failure of the disk.
                fail(error == ERROR_LOCK_VIOLATION ? FileFault::AccessDenied : FileFault::ReadFailed, error);
            }
            if (got == 0) {
                break;  // end of file
            }
            done += got;
        }
        return done;
    }

private:
    ScopedHandle handle_;
};

}  // namespace

std::unique_ptr<BinaryFile> BinaryFiles::openRead(std::u16string_view path)
{
    const std::wstring name = wide(path);
    // A folder cannot be opened as a file at all; say what it is rather than "access denied".
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        throw FileError(FileFault::IsDirectory, "is a directory");
    }
    // Sharing everything: a file another program is writing, or is about to delete, can still be searched.
    const HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail(faultOf(GetLastError()), GetLastError());
    }
    auto file = std::make_unique<Win32File>(handle);
    // A pipe or a device opened under a file name would block or act on the device.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        throw FileError(FileFault::NotRegularFile, "not a disk file");
    }
    return file;
}

}  // namespace quorvin::platform::win32
