#include "readers/zip.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "readers/inflate.h"

namespace quorvin::readers {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kMemberSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kMemberSize = 46;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kLongestComment = 0xffff;
constexpr std::uint16_t kEncrypted = 1;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kAes = 99;
// Each member's place is kept to find overlaps: 16 bytes each, 4 MiB for this many, three times what
// the format's own 16-bit count allows.
constexpr std::size_t kMostMembers = 256 * 1024;

std::uint64_t little(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = value << 8 | bytes[at + i];
    }
    return value;
}

[[noreturn]] void corrupt(const char* why)
{
    throw UnreadablePart(Fault::Corrupt, why);
}

void readExactly(RandomAccess& whole, std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (into.empty()) {
        return;  // a field of no bytes, as most extra fields are: nothing to ask of the file
    }
    if (offset > whole.size() || whole.size() - offset < into.size() || whole.readAt(offset, into) != into.size()) {
        corrupt("the archive's directory points outside it");
    }
}

// The directory read in order, a buffer at a time.
class DirectoryReader {
public:
    DirectoryReader(RandomAccess& whole, std::uint64_t offset, std::uint64_t size)
        : whole_(whole), offset_(offset), end_(offset + size)
    {
    }

    // The next member's fixed part, name (cut) and extra field, or false at the directory's end.
    bool next(ZipMember& member)
    {
        if (offset_ >= end_) {
            return false;
        }
        std::array<std::uint8_t, kMemberSize> fixed{};
        take(fixed);
        if (little(fixed, 0, 4) != kMemberSignature) {
            corrupt("the archive's directory holds something else than members");
        }
        member.flags = static_cast<std::uint16_t>(little(fixed, 8, 2));
        member.method = static_cast<std::uint16_t>(little(fixed, 10, 2));
        member.crc = static_cast<std::uint32_t>(little(fixed, 16, 4));
        member.compressedSize = little(fixed, 20, 4);
        member.size = little(fixed, 24, 4);
        const std::size_t nameSize = little(fixed, 28, 2);
        const std::size_t extraSize = little(fixed, 30, 2);
        const std::size_t commentSize = little(fixed, 32, 2);
        member.localHeader = little(fixed, 42, 4);

        member.name.assign(std::min(nameSize, ZipArchive::kLongestName), '\0');
        take(std::span(reinterpret_cast<std::uint8_t*>(member.name.data()), member.name.size()));
        skip(nameSize - member.name.size());
        extra_.resize(extraSize);
        take(extra_);
        readZip64(member);
        skip(commentSize);
        return true;
    }

private:
    // Sizes and the offset that do not fit 32 bits stand in the ZIP64 extra field, in this order.
    void readZip64(ZipMember& member) const
    {
        for (std::size_t at = 0; at + 4 <= extra_.size();) {
            const std::uint64_t id = little(extra_, at, 2);
            const std::size_t size = little(extra_, at + 2, 2);
            if (at + 4 + size > extra_.size()) {
                break;
            }
            if (id == 0x0001) {
                std::size_t field = at + 4;
                for (std::uint64_t* value : {&member.size, &member.compressedSize, &member.localHeader}) {
                    if (*value == 0xffffffff) {
                        if (field + 8 > at + 4 + size) {
                            corrupt("a ZIP64 field is missing");
                        }
                        *value = little(extra_, field, 8);
                        field += 8;
                    }
                }
            }
            at += 4 + size;
        }
    }

    void take(std::span<std::uint8_t> into)
    {
        if (end_ - offset_ < into.size()) {
            corrupt("a member runs past the archive's directory");
        }
        readExactly(whole_, offset_, into);
        offset_ += into.size();
    }
    void skip(std::size_t count)
    {
        if (end_ - offset_ < count) {
            corrupt("a member runs past the archive's directory");
        }
        offset_ += count;
    }

    RandomAccess& whole_;
    std::uint64_t offset_;
    std::uint64_t end_;
    std::vector<std::uint8_t> extra_;
};

}  // namespace

std::optional<ZipArchive> ZipArchive::find(RandomAccess& whole)
{
    const std::uint64_t size = whole.size();
    if (size < kEndSize) {
        return std::nullopt;
    }
    const std::size_t tailSize = std::min<std::uint64_t>(size, kEndSize + kLongestComment);
    std::vector<std::uint8_t> tail(tailSize);
    if (whole.readAt(size - tailSize, tail) != tailSize) {
        return std::nullopt;
    }
    // The last end record whose comment reaches the archive's end, or falls short of it (some writers
    // pad): a signature inside the comment, further on, is no end record.
    for (std::size_t at = tailSize - kEndSize + 1; at-- > 0;) {
        if (little(tail, at, 4) != kEndSignature || at + kEndSize + little(tail, at + 20, 2) > tailSize) {
            continue;
        }
        std::uint64_t directorySize = little(tail, at + 12, 4);
        std::uint64_t directory = little(tail, at + 16, 4);
        const std::uint64_t endAt = size - tailSize + at;
        if (endAt >= 20) {
            std::array<std::uint8_t, 20> locator{};
            if (whole.readAt(endAt - 20, locator) == locator.size() &&
                little(locator, 0, 4) == kEnd64LocatorSignature) {
                std::array<std::uint8_t, 56> end64{};
                readExactly(whole, little(locator, 8, 8), end64);
                if (little(end64, 0, 4) != kEnd64Signature) {
                    corrupt("the archive's ZIP64 end record is missing");
                }
                directorySize = little(end64, 40, 8);
                directory = little(end64, 48, 8);
            }
        }
        if (directory > endAt || directorySize > endAt - directory) {
            corrupt("the archive's directory points outside it");
        }
        ZipArchive archive(whole, directory, directorySize);
        archive.mapMembers();
        return archive;
    }
    return std::nullopt;
}

void ZipArchive::mapMembers()
{
    DirectoryReader reader(*whole_, directory_, directorySize_);
    ZipMember member;
    while (reader.next(member)) {
        if (extents_.size() == kMostMembers) {
            throw UnreadablePart(Fault::TooLarge, "the archive has too many members");
        }
        // The data start after the local header and its name at the least; sizes that lie past any file
        // reach the end of all.
        const std::uint64_t header = kLocalSize + member.name.size();
        std::uint64_t end = UINT64_MAX;
        if (member.localHeader <= UINT64_MAX - header &&
            member.compressedSize <= UINT64_MAX - header - member.localHeader) {
            end = member.localHeader + header + member.compressedSize;
        }
        extents_.emplace_back(member.localHeader, end);
    }
    std::sort(extents_.begin(), extents_.end());
}

void ZipArchive::forEach(const std::function<bool(const ZipMember&)>& visit) const
{
    DirectoryReader reader(*whole_, directory_, directorySize_);
    ZipMember member;
    while (reader.next(member) && visit(member)) {
    }
}

std::unique_ptr<Source> ZipArchive::open(const ZipMember& member) const
{
    if ((member.flags & kEncrypted) != 0 || member.method == kAes) {
        throw UnreadablePart(Fault::Encrypted, "the member is encrypted");
    }
    if (member.method != kStored && member.method != kDeflated) {
        throw UnreadablePart(Fault::Method, "compression method " + std::to_string(member.method));
    }
    // Another member's header within this one's data: the data are shared, as in the bombs that overlap.
    const auto self =
        std::lower_bound(extents_.begin(), extents_.end(), std::pair(member.localHeader, std::uint64_t{0}));
    if (self == extents_.end() || (self != extents_.begin() && std::prev(self)->second > member.localHeader) ||
        (std::next(self) != extents_.end() && std::next(self)->first < self->second)) {
        corrupt("the member's data overlap another member's");
    }
    std::array<std::uint8_t, kLocalSize> local{};
    readExactly(*whole_, member.localHeader, local);
    if (little(local, 0, 4) != kLocalSignature) {
        corrupt("the member's local header is missing");
    }
    const std::uint64_t data = member.localHeader + kLocalSize + little(local, 26, 2) + little(local, 28, 2);
    if (data > whole_->size() || member.compressedSize > whole_->size() - data) {
        corrupt("the member's data run past the archive");
    }
    auto raw = std::make_unique<RangeSource>(*whole_, data, member.compressedSize);
    if (member.method == kStored) {
        return std::make_unique<CheckedSource>(std::move(raw), member.size, member.crc);
    }
    auto inflated = std::make_unique<InflateSource>(*raw, InflateSource::Format::Raw);
    return std::make_unique<CheckedSource>(std::move(inflated), member.size, member.crc, std::move(raw));
}

}  // namespace quorvin::readers
