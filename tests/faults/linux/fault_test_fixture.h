#pragma once
// The Linux build's fault fixture: the POSIX file service, descriptors counted in /proc/self/fd, paths
// held as the Linux front end holds them (bytes that are not UTF-8 kept as lone surrogates).
#include <filesystem>

#include "platform/posix/binary_file.h"
#include "platform/posix/native_path.h"
#include "tests/faults/fault_suite.h"

namespace quorvin::faults {

class FaultTest : public FaultSuite {
protected:
    platform::BinaryFileService& systemFiles() override { return files; }
    int openHandles() const override
    {
        namespace fs = std::filesystem;
        return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
    }
    std::u16string textOf(const std::filesystem::path& path) const override
    {
        return platform::posix::fromNativePath(path.string());
    }

    platform::posix::PosixBinaryFiles files;
};

}  // namespace quorvin::faults
