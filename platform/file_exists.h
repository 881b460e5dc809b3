#pragma once
// Tells whether a normal file exists.
//
// The caller passes a full file name.
// The caller may rely on: true only for an existing regular file that is neither hidden nor a system file;
// folders, devices and anything unreadable give false.
// Failure: never throws; any doubt gives false.
#include <string_view>

namespace quorvin::platform {

class FileExistsService {
public:
    virtual ~FileExistsService() = default;
    virtual bool exists(std::u16string_view fileName) = 0;
};

}  // namespace quorvin::platform
