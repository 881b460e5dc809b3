#pragma once
// The Linux file service: POSIX reads of regular files only.
#include "platform/binary_file.h"

namespace quorvin::platform::posix {

class PosixBinaryFiles final : public BinaryFileService {
public:
    std::unique_ptr<BinaryFile> openRead(std::u16string_view path) override;
    // The path made absolute, each ".." taken back over the folder before it as the system takes it,
    // through the link's target where that folder is a symbolic link. Where the system could not go
    // through (a folder missing, a file, a link that loops), the path as given: opening it tells what is
    // wrong.
    std::u16string openedPath(std::u16string_view path) override;
};

}  // namespace quorvin::platform::posix
