#include "readers/tar.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorvin::readers {

namespace {

constexpr std::size_t kBlock = 512;
// Long names and pax records are held whole: longer ones than this are no archive a tool writes.
constexpr std::uint64_t kLongestHeaderText = 64 * 1024;

using Header = std::array<std::uint8_t, kBlock>;

std::string_view field(const Header& header, std::size_t at, std::size_t size)
{
    const auto* begin = reinterpret_cast<const char*>(header.data() + at);
    return {begin, static_cast<std::size_t>(std::find(begin, begin + size, '\0') - begin)};
}

// An octal field (spaces and NULs around it), or GNU's base-256 with its high bit set.
std::optional<std::uint64_t> number(std::span<const std::uint8_t> bytes)
{
    std::uint64_t value = 0;
    if (!bytes.empty() && (bytes[0] & 0x80) != 0) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (value >> 56 != 0) {
                return std::nullopt;
            }
            value = value << 8 | (i == 0 ? bytes[i] & 0x7f : bytes[i]);
        }
        return value;
    }
    bool digits = false;
    for (const std::uint8_t byte : bytes) {
        if (byte >= '0' && byte <= '7') {
            if (value >> 61 != 0) {
                return std::nullopt;
            }
            value = value * 8 + (byte - '0');
            digits = true;
        } else if (byte == ' ' || byte == '\0') {
            if (digits) {
                break;
            }
        } else {
            return std::nullopt;
        }
    }
    return value;
}

bool checksumHolds(std::span<const std::uint8_t> header)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += i >= 148 && i < 156 ? ' ' : header[i];
    }
    const std::optional<std::uint64_t> stored = number(header.subspan(148, 8));
    return stored && *stored == sum;
}

// The value of `key` among pax records ("LENGTH key=value\n"), if there.
std::optional<std::string> paxValue(std::string_view records, std::string_view key)
{
    while (!records.empty()) {
        std::size_t length = 0;
        std::size_t at = 0;
        while (at < records.size() && records[at] >= '0' && records[at] <= '9' && length < records.size()) {
            length = length * 10 + static_cast<std::size_t>(records[at++] - '0');
        }
        if (length == 0 || length > records.size() || at >= length || records[at] != ' ') {
            return std::nullopt;
        }
        const std::string_view record = records.substr(at + 1, length - at - 2);  // without its line feed
        const std::size_t equals = record.find('=');
        if (equals != std::string_view::npos && record.substr(0, equals) == key) {
            return std::string(record.substr(equals + 1));
        }
        records.remove_prefix(length);
    }
    return std::nullopt;
}

}  // namespace

bool looksLikeTar(std::span<const std::uint8_t> block)
{
    if (block.size() < kBlock) {
        return false;
    }
    const std::string_view magic(reinterpret_cast<const char*>(block.data() + 257), 5);
    return magic == "ustar" && checksumHolds(block.first(kBlock));
}

void TarReader::readFully(std::span<std::uint8_t> into)
{
    while (!into.empty()) {
        const std::size_t got = archive_.read(into);
        if (got == 0) {
            throw UnreadablePart(Fault::Truncated, "the archive ends inside a member");
        }
        into = into.subspan(got);
    }
}

void TarReader::skip(std::uint64_t count)
{
    std::array<std::uint8_t, 4096> discard{};
    while (count > 0) {
        const std::size_t step = std::min<std::uint64_t>(count, discard.size());
        readFully(std::span(discard).first(step));
        count -= step;
    }
}

std::string TarReader::readText(std::uint64_t size)
{
    if (size > kLongestHeaderText) {
        throw UnreadablePart(Fault::Corrupt, "a header's text is too long");
    }
    std::string text(size, '\0');
    readFully(std::span(reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    skip((kBlock - size % kBlock) % kBlock);
    return text;
}

std::optional<std::string> TarReader::next()
{
    try {
        return nextMember();
    } catch (const UnreadablePart&) {
        ended_ = true;
        left_ = padding_ = 0;
        throw;
    }
}

std::optional<std::string> TarReader::nextMember()
{
    if (ended_) {
        return std::nullopt;
    }
    skip(left_ + padding_);
    left_ = padding_ = 0;
    std::optional<std::string> longName;
    while (!ended_) {
        Header header{};
        const std::size_t got = archive_.read(header);
        if (got == 0) {
            ended_ = true;  // no end blocks: some writers stop at the last member
            break;
        }
        if (got < kBlock) {
            readFully(std::span(header).subspan(got));
        }
        if (std::all_of(header.begin(), header.end(), [](std::uint8_t b) { return b == 0; })) {
            ended_ = true;  // the end blocks
            break;
        }
        if (!checksumHolds(header)) {
            throw UnreadablePart(Fault::Corrupt, "a tar header fails its checksum");
        }
        const std::optional<std::uint64_t> size = number(std::span(header).subspan(124, 12));
        if (!size) {
            throw UnreadablePart(Fault::Corrupt, "a tar header has no size");
        }
        const char type = static_cast<char>(header[156]);
        if (type == 'L') {
            std::string name = readText(*size);
            longName = name.substr(0, name.find('\0'));
            continue;
        }
        if (type == 'x') {
            const std::string records = readText(*size);
            if (std::optional<std::string> path = paxValue(records, "path")) {
                longName = std::move(path);
            }
            continue;
        }
        const bool holdsBytes = type == '0' || type == '\0' || type == '7';
        if (!holdsBytes) {
            skip(*size + (kBlock - *size % kBlock) % kBlock);  // links, folders, global pax records...
            longName.reset();
            continue;
        }
        std::string name;
        if (longName) {
            name = std::move(*longName);
        } else {
            const std::string_view prefix = field(header, 345, 155);
            name = prefix.empty() ? std::string(field(header, 0, 100))
                                  : std::string(prefix) + '/' + std::string(field(header, 0, 100));
        }
        left_ = *size;
        padding_ = (kBlock - *size % kBlock) % kBlock;
        return name;
    }
    return std::nullopt;
}

std::size_t TarReader::Content::read(std::span<std::uint8_t> into)
{
    const std::size_t wanted = std::min<std::uint64_t>(into.size(), reader_.left_);
    if (wanted == 0) {
        return 0;
    }
    // The member is named for a failure of the archive within it; the archive then ends there.
    const auto end = [this] {
        reader_.ended_ = true;
        reader_.left_ = reader_.padding_ = 0;
    };
    std::size_t got = 0;
    try {
        got = reader_.archive_.read(into.first(wanted));
    } catch (const UnreadablePart&) {
        end();
        throw;
    }
    if (got == 0) {
        end();
        throw UnreadablePart(Fault::Truncated, "the archive ends inside a member");
    }
    reader_.left_ -= got;
    return got;
}

}  // namespace quorvin::readers
