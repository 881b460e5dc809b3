#pragma once
// The members of a ZIP archive, read through its central directory at the archive's end: the local
// headers are only where the data start, since a data descriptor leaves their sizes at zero. ZIP64 sizes
// and offsets are read; stored and deflated members are read, checked against their size and CRC-32.
//
// The caller may rely on: find() answers whether a whole holds a ZIP archive; forEach() walks the
// directory in its order with memory bounded by the longest name kept, however many members there are;
// open() gives a member's bytes. Members whose data overlap another's, as ZIP bombs make them, are
// refused as corrupt.
// Failure: find() and forEach() throw UnreadablePart(Corrupt) for a directory that lies outside the
// archive or contradicts itself; open() throws Encrypted, Method or Corrupt for one member.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "readers/random_access.h"

namespace quorvin::readers {

struct ZipMember {
    std::string name;  // as stored: UTF-8 as a rule; cut after kLongestName bytes
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeader = 0;
    bool folder() const { return !name.empty() && name.back() == '/'; }
};

class ZipArchive {
public:
    static constexpr std::size_t kLongestName = 1024;

    // The archive `whole` holds, found by the end of its central directory within its last 64 KiB;
    // nothing when there is none.
    static std::optional<ZipArchive> find(RandomAccess& whole);

    // Calls `visit` with each member in the directory's order, until it returns false.
    void forEach(const std::function<bool(const ZipMember&)>& visit) const;
    // The member's bytes, inflated where they are deflated.
    std::unique_ptr<Source> open(const ZipMember& member) const;

private:
    ZipArchive(RandomAccess& whole, std::uint64_t directory, std::uint64_t directorySize)
        : whole_(&whole), directory_(directory), directorySize_(directorySize)
    {
    }
    // Where each member's local header starts and its data end at the least, in order, to find overlaps.
    void mapMembers();

    RandomAccess* whole_;
    std::uint64_t directory_;
    std::uint64_t directorySize_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> extents_;
};

}  // namespace quorvin::readers
