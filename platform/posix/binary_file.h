#pragma once
// The Linux file service: POSIX reads of regular files only.
#include "platform/binary_file.h"

namespace quorvin::platform::posix {

class PosixBinaryFiles final : public BinaryFileService {
public:
    std::unique_ptr<BinaryFile> openRead(std::u16string_view path) override;
};

}  // namespace quorvin::platform::posix
