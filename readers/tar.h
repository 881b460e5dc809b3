#pragma once
// The members of a tar archive read in order: ustar, GNU (long names, base-256 sizes) and pax headers.
//
// The caller may rely on: next() moves to the next member that holds a file's bytes (links, folders and
// devices are passed over) and gives its path; content() reads that member's bytes until the next call;
// a member's unread bytes are skipped by next(). At the archive's end next() gives nothing.
// Failure: next() throws UnreadablePart: Corrupt for a header whose checksum fails, Truncated where the
// archive ends inside a member or a header.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "readers/source.h"

namespace quorvin::readers {

// Whether `block` starts with a ustar or GNU tar header whose checksum holds.
bool looksLikeTar(std::span<const std::uint8_t> block);

class TarReader {
public:
    explicit TarReader(Source& archive) : archive_(archive), content_(*this) {}

    std::optional<std::string> next();
    Source& content() { return content_; }

private:
    class Content final : public Source {
    public:
        explicit Content(TarReader& reader) : reader_(reader) {}
        std::size_t read(std::span<std::uint8_t> into) override;

    private:
        TarReader& reader_;
    };
    std::optional<std::string> nextMember();
    void readFully(std::span<std::uint8_t> into);
    void skip(std::uint64_t count);
    std::string readText(std::uint64_t size);

    Source& archive_;
    Content content_;
    std::uint64_t left_ = 0;     // of the current member's bytes
    std::uint64_t padding_ = 0;  // to the next 512-byte block after them
    bool ended_ = false;
};

}  // namespace quorvin::readers
