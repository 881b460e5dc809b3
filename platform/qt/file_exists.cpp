#include <sys/stat.h>

#include "platform/posix/native_path.h"
#include "platform/qt/qt_services.h"

namespace quorvin::platform::qt {

// Asked of the system by the name's own bytes, so that names that are not UTF-8 are seen too.
bool QtFileExists::isFile(std::u16string_view fileName)
{
    struct stat status {};
    return !fileName.empty() && ::stat(posix::toNativePath(fileName).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// A dot file is the Linux hidden file.
bool QtFileExists::exists(std::u16string_view fileName)
{
    const auto slash = fileName.find_last_of(u'/');
    const std::u16string_view name = slash == std::u16string_view::npos ? fileName : fileName.substr(slash + 1);
    return isFile(fileName) && !name.starts_with(u'.');
}

}  // namespace quorvin::platform::qt
