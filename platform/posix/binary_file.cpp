#include "platform/posix/binary_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/native_path.h"

namespace quorvin::platform::posix {

namespace {

FileFault faultOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FileFault::NotFound;
    case ELOOP:
        return FileFault::LinkLoop;
    case EACCES:
    case EPERM:
        return FileFault::AccessDenied;
    case EISDIR:
        return FileFault::IsDirectory;
    case ENXIO:
    case ENODEV:
        return FileFault::NotRegularFile;
    default:
        return FileFault::Other;
    }
}

[[noreturn]] void fail(FileFault fault, int error)
{
    throw FileError(fault, std::strerror(error));
}

void requireRegular(const struct stat& status)
{
    if (S_ISDIR(status.st_mode)) {
        throw FileError(FileFault::IsDirectory, "is a directory");
    }
    if (!S_ISREG(status.st_mode)) {
        throw FileError(FileFault::NotRegularFile, "not a regular file");
    }
}

class PosixFile final : public BinaryFile {
public:
    explicit PosixFile(int descriptor) : fd_(descriptor) {}
    ~PosixFile() override { ::close(fd_); }
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;

    std::int64_t length() override
    {
        struct stat status {};
        if (::fstat(fd_, &status) != 0) {
            fail(FileFault::ReadFailed, errno);
        }
        return status.st_size;
    }

    std::size_t read(std::int64_t position, std::span<std::uint8_t> into) override
    {
        std::size_t done = 0;
        while (done < into.size()) {
            const ssize_t got = ::pread(fd_, into.data() + done, into.size() - done,
                                        static_cast<off_t>(position - 1 + static_cast<std::int64_t>(done)));
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                fail(FileFault::ReadFailed, errno);
            }
            if (got == 0) {
                break;  // end of file
            }
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<BinaryFile> PosixBinaryFiles::openRead(std::u16string_view path)
{
    const std::string name = toNativePath(path);
    // Look before opening: opening a pipe or a device may block or act on the device.
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        fail(faultOf(errno), errno);
    }
    requireRegular(status);

    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(faultOf(errno), errno);
    }
    auto file = std::make_unique<PosixFile>(fd);
    // The name may have been replaced between the look and the open.
    if (::fstat(fd, &status) != 0) {
        fail(FileFault::Other, errno);
    }
    requireRegular(status);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return file;
}

std::u16string PosixBinaryFiles::openedPath(std::u16string_view path)
{
    namespace fs = std::filesystem;
    const fs::path given(toNativePath(path));
    std::error_code failed;
    const fs::path absolute = fs::absolute(given, failed);
    if (failed) {
        return std::u16string(path);
    }
    fs::path resolved = absolute.root_path();
    bool endsInFolder = false;  // "name/" and "name/." open only a folder
    for (const fs::path& part : absolute.relative_path()) {
        endsInFolder = part.empty() || part == ".";
        if (endsInFolder) {
            continue;
        }
        if (part != "..") {
            resolved /= part;
            continue;
        }
        fs::file_status status = fs::symlink_status(resolved, failed);
        if (!failed && fs::is_symlink(status)) {
            resolved = fs::canonical(resolved, failed);
            status = failed ? status : fs::status(resolved, failed);
        }
        if (failed || !fs::is_directory(status)) {
            return fromNativePath(absolute.native());
        }
        resolved = resolved.parent_path();  // the root's parent is the root
    }
    if (endsInFolder && resolved.has_filename()) {
        resolved /= fs::path();
    }
    return fromNativePath(resolved.native());
}

}  // namespace quorvin::platform::posix
