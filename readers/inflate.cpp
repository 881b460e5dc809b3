#include "readers/inflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>

namespace quorvin::readers {

namespace {

// zlib's own advice for a buffer of input; larger ones measured no faster.
constexpr std::size_t kInputBuffer = 32 * 1024;

uInt chunk(std::size_t size)
{
    return static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
}

}  // namespace

struct InflateSource::Stream {
    Stream(Source& compressed, Format format) : compressed(compressed), format(format)
    {
        // 15 bits: the largest window, which any deflate data may use; 16 more: gzip's header and trailer.
        if (inflateInit2(&z, format == Format::Gzip ? 16 + MAX_WBITS : -MAX_WBITS) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Stream() { inflateEnd(&z); }

    // Refills the input once it is used up; false at the compressed data's end.
    bool refill()
    {
        if (z.avail_in > 0) {
            return true;
        }
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(compressed.read(input));
        return z.avail_in > 0;
    }

    // After a gzip member, another may follow; anything else after it is left unread, as gunzip does.
    bool nextMember()
    {
        if (format != Format::Gzip || !refill()) {
            return false;
        }
        if (z.next_in[0] != 0x1f) {
            return false;
        }
        if (z.avail_in < 2) {
            const std::uint8_t first = z.next_in[0];
            input[0] = first;
            z.next_in = input.data();
            z.avail_in = 1 + static_cast<uInt>(compressed.read(std::span(input).subspan(1)));
        }
        if (z.avail_in < 2 || z.next_in[1] != 0x8b) {
            return false;
        }
        inflateReset(&z);
        return true;
    }

    std::size_t inflateInto(std::span<std::uint8_t> into);

    Source& compressed;
    Format format;
    z_stream z{};
    std::array<std::uint8_t, kInputBuffer> input{};
    bool ended = false;
};

InflateSource::InflateSource(Source& compressed, Format format) : stream_(std::make_unique<Stream>(compressed, format))
{
}

InflateSource::~InflateSource() = default;

std::size_t InflateSource::read(std::span<std::uint8_t> into)
{
    Stream& s = *stream_;
    try {
        return s.inflateInto(into);
    } catch (const UnreadablePart&) {
        s.ended = true;
        throw;
    }
}

std::size_t InflateSource::Stream::inflateInto(std::span<std::uint8_t> into)
{
    Stream& s = *this;
    std::size_t given = 0;
    while (given < into.size() && !s.ended) {
        if (!s.refill()) {
            throw UnreadablePart(Fault::Truncated, "the compressed data end before their stream");
        }
        s.z.next_out = into.data() + given;
        s.z.avail_out = chunk(into.size() - given);
        const uInt before = s.z.avail_out;
        const int status = inflate(&s.z, Z_NO_FLUSH);
        given += before - s.z.avail_out;
        if (status == Z_STREAM_END) {
            s.ended = !s.nextMember();
        } else if (status == Z_NEED_DICT || status == Z_DATA_ERROR) {
            throw UnreadablePart(Fault::Corrupt, s.z.msg != nullptr ? s.z.msg : "corrupt deflate data");
        } else if (status == Z_MEM_ERROR) {
            throw std::bad_alloc();
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            throw UnreadablePart(Fault::Corrupt, "corrupt deflate data");
        }
    }
    return given;
}

CheckedSource::CheckedSource(std::unique_ptr<Source> inner, std::uint64_t size, std::uint32_t crc,
                             std::unique_ptr<Source> under)
    : under_(std::move(under)), inner_(std::move(inner)), left_(size), expectedCrc_(crc)
{
}

std::size_t CheckedSource::read(std::span<std::uint8_t> into)
{
    if (ended_) {
        return 0;
    }
    try {
        return checkedRead(into);
    } catch (const UnreadablePart&) {
        ended_ = true;
        throw;
    }
}

std::size_t CheckedSource::checkedRead(std::span<std::uint8_t> into)
{
    // One byte more than the size is asked for at the end, so that data longer than they say are caught.
    const std::size_t wanted = left_ == 0 ? 1 : std::min<std::uint64_t>(into.size(), left_);
    std::array<std::uint8_t, 1> probe{};
    const std::span<std::uint8_t> target = left_ == 0 ? std::span<std::uint8_t>(probe) : into.first(wanted);
    const std::size_t got = inner_->read(target);
    if (left_ == 0) {
        if (got > 0) {
            throw UnreadablePart(Fault::Corrupt, "the data are longer than the archive says");
        }
        ended_ = true;
        if (crc_ != expectedCrc_) {
            throw UnreadablePart(Fault::Corrupt, "the data fail their CRC");
        }
        return 0;
    }
    if (got == 0) {
        throw UnreadablePart(Fault::Corrupt, "the data are shorter than the archive says");
    }
    crc_ = static_cast<std::uint32_t>(crc32(crc_, target.data(), static_cast<uInt>(got)));
    left_ -= got;
    return got;
}

}  // namespace quorvin::readers
