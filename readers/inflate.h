#pragma once
// Deflate data inflated as it is read, with zlib: raw, as a ZIP member holds it, or gzip's members one
// after another, as `cat a.gz b.gz` leaves them (what gunzip gives back).
//
// The caller may rely on: read() gives the inflated bytes in order; memory stays at zlib's window and one
// buffer of input, however much the data expands.
// Failure: throws UnreadablePart: Corrupt where the data are no deflate stream or fail their check,
// Truncated where the compressed data end before the stream does.
#include <cstdint>
#include <memory>

#include "readers/source.h"

namespace quorvin::readers {

class InflateSource final : public Source {
public:
    enum class Format { Raw, Gzip };
    InflateSource(Source& compressed, Format format);
    ~InflateSource() override;
    InflateSource(const InflateSource&) = delete;
    InflateSource& operator=(const InflateSource&) = delete;

    std::size_t read(std::span<std::uint8_t> into) override;

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
};

// The bytes of `inner`, checked at their end against the size and CRC-32 an archive's directory gives
// them: more bytes than the size, fewer, or another CRC throw Corrupt.
class CheckedSource final : public Source {
public:
    CheckedSource(std::unique_ptr<Source> inner, std::uint64_t size, std::uint32_t crc,
                  std::unique_ptr<Source> under = {});
    std::size_t read(std::span<std::uint8_t> into) override;

private:
    std::size_t checkedRead(std::span<std::uint8_t> into);

    std::unique_ptr<Source> under_;  // what `inner` reads from, kept alive with it
    std::unique_ptr<Source> inner_;
    std::uint64_t left_;
    std::uint32_t expectedCrc_;
    std::uint32_t crc_ = 0;
    bool ended_ = false;
};

}  // namespace quorvin::readers
