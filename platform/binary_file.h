#pragma once
// Read-only access to a file's bytes.
//
// The caller passes a path to openRead, then reads from the open file at 1-based byte positions; the
// file is closed when the BinaryFile is destroyed.
// The caller may rely on: openRead succeeds only for a regular file and never blocks (pipes and devices
// are refused); length() is the size in bytes, 64-bit; read() fills the span from the position and
// returns fewer bytes than asked only at the end of the file (0 past it).
// Failure: throws FileError naming the cause; a failed read leaves the file open for the caller to close.
// openedPath() tells the path of the file openRead() opens for a path; it may look at the folders on the
// path, and so wait as long as openRead() may (a stalled mount): it is asked off the windows' thread.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvin::platform {

enum class FileFault {
    NotFound,      // no such file, or a folder on its path is missing
    AccessDenied,  // no permission, or locked by another program
    IsDirectory,
    NotRegularFile,  // a pipe, a device, a socket...
    LinkLoop,        // a symbolic link on the path leads back to itself
    ReadFailed,      // the system failed a read midway
    Other,
};

class FileError : public std::runtime_error {
public:
    FileError(FileFault fault, const std::string& systemDetail) : std::runtime_error(systemDetail), fault_(fault) {}
    FileFault fault() const { return fault_; }

private:
    FileFault fault_;
};

class BinaryFile {
public:
    virtual ~BinaryFile() = default;
    virtual std::int64_t length() = 0;
    virtual std::size_t read(std::int64_t position, std::span<std::uint8_t> into) = 0;
};

class BinaryFileService {
public:
    virtual ~BinaryFileService() = default;
    virtual std::unique_ptr<BinaryFile> openRead(std::u16string_view path) = 0;
    // Where the system takes a ".." back over the name before it, as Windows does, the path is the file's.
    virtual std::u16string openedPath(std::u16string_view path) { return std::u16string(path); }
};

}  // namespace quorvin::platform
