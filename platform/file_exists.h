#pragma once
// Tells whether a file exists.
//
// The caller passes a full file name.
// The caller may rely on: exists() is true only for an existing regular file that is neither hidden nor a
// system file; isFile() is true for any existing regular file. Folders, devices and anything that cannot
// be looked at give false to both.
// Failure: never throws; any doubt gives false.
#include <string_view>

namespace quorvin::platform {

class FileExistsService {
public:
    virtual ~FileExistsService() = default;
    virtual bool exists(std::u16string_view fileName) = 0;
    virtual bool isFile(std::u16string_view fileName) = 0;
};

}  // namespace quorvin::platform
