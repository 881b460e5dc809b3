#pragma once
// Archives made in memory for the tests, with zlib: gzip data, tar and ZIP archives, each with the knobs
// that real writers and hostile ones turn (data descriptors, ZIP64 fields, encryption flags, sizes and
// CRCs that lie, long names).
#include <zlib.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvin::testing {

inline std::string deflated(const std::string& bytes, int windowBits, int level = 6)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&z, bytes.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline std::string gzipped(const std::string& bytes)
{
    return deflated(bytes, 16 + MAX_WBITS);
}

inline std::string rawDeflated(const std::string& bytes)
{
    return deflated(bytes, -MAX_WBITS);
}

inline std::uint32_t crcOf(const std::string& bytes)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

inline void putLittle(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>(value >> (8 * i) & 0xff);
    }
}

struct ZipEntry {
    std::string name;
    std::string content;
    bool deflate = true;
    bool dataDescriptor = false;  // local header sizes and CRC left at zero, as streaming writers do
    bool zip64 = false;           // sizes and offset in the ZIP64 extra field
    std::uint16_t flags = 0;
    std::optional<std::uint16_t> method;       // stored in the headers instead of the real one
    std::optional<std::uint32_t> crc;          // stored instead of the real one
    std::optional<std::uint64_t> size;         // stored instead of the real one
    std::optional<std::uint64_t> localHeader;  // where the directory says the member is
};

inline std::string zipArchive(const std::vector<ZipEntry>& members, const std::string& before = {})
{
    std::string out = before;
    std::string directory;
    for (const ZipEntry& m : members) {
        const std::string data = m.deflate ? rawDeflated(m.content) : m.content;
        const std::uint16_t method = m.method.value_or(m.deflate ? 8 : 0);
        const std::uint32_t crc = m.crc.value_or(crcOf(m.content));
        const std::uint64_t size = m.size.value_or(m.content.size());
        const std::uint64_t offset = out.size();
        const std::uint16_t flags = static_cast<std::uint16_t>(m.flags | (m.dataDescriptor ? 8 : 0));
        out += "PK\x03\x04";
        putLittle(out, m.zip64 ? 45 : 20, 2);
        putLittle(out, flags, 2);
        putLittle(out, method, 2);
        putLittle(out, 0, 4);  // time and date
        putLittle(out, m.dataDescriptor ? 0 : crc, 4);
        putLittle(out, m.dataDescriptor ? 0 : (m.zip64 ? 0xffffffff : data.size()), 4);
        putLittle(out, m.dataDescriptor ? 0 : (m.zip64 ? 0xffffffff : size), 4);
        putLittle(out, m.name.size(), 2);
        putLittle(out, 0, 2);
        out += m.name;
        out += data;
        if (m.dataDescriptor) {
            out += "PK\x07\x08";
            putLittle(out, crc, 4);
            putLittle(out, data.size(), 4);
            putLittle(out, size, 4);
        }
        std::string extra;
        if (m.zip64) {
            putLittle(extra, 1, 2);
            putLittle(extra, 24, 2);
            putLittle(extra, size, 8);
            putLittle(extra, data.size(), 8);
            putLittle(extra, m.localHeader.value_or(offset), 8);
        }
        directory += "PK\x01\x02";
        putLittle(directory, 20, 2);
        putLittle(directory, m.zip64 ? 45 : 20, 2);
        putLittle(directory, flags, 2);
        putLittle(directory, method, 2);
        putLittle(directory, 0, 4);
        putLittle(directory, crc, 4);
        putLittle(directory, m.zip64 ? 0xffffffff : data.size(), 4);
        putLittle(directory, m.zip64 ? 0xffffffff : size, 4);
        putLittle(directory, m.name.size(), 2);
        putLittle(directory, extra.size(), 2);
        putLittle(directory, 0, 2);  // comment
        putLittle(directory, 0, 2);  // disk
        putLittle(directory, 0, 2);
        putLittle(directory, 0, 4);
        putLittle(directory, m.zip64 ? 0xffffffff : m.localHeader.value_or(offset), 4);
        directory += m.name;
        directory += extra;
    }
    const std::uint64_t directoryAt = out.size();
    out += directory;
    out += "PK\x05\x06";
    putLittle(out, 0, 4);
    putLittle(out, members.size(), 2);
    putLittle(out, members.size(), 2);
    putLittle(out, directory.size(), 4);
    putLittle(out, directoryAt, 4);
    putLittle(out, 0, 2);
    return out;
}

// A ustar header block, its checksum right unless `breakChecksum`.
inline std::string tarHeader(const std::string& name, std::uint64_t size, char type, bool breakChecksum = false)
{
    std::string header(512, '\0');
    header.replace(0, std::min<std::size_t>(name.size(), 100), name.substr(0, 100));
    const auto octal = [&](std::size_t at, std::size_t width, std::uint64_t value) {
        std::string digits(width - 1, '0');
        for (std::size_t i = width - 1; i-- > 0; value >>= 3) {
            digits[i] = static_cast<char>('0' + (value & 7));
        }
        header.replace(at, width - 1, digits);
    };
    octal(100, 8, 0644);
    octal(108, 8, 0);
    octal(116, 8, 0);
    octal(124, 12, size);
    octal(136, 12, 0);
    header[156] = type;
    header.replace(257, 8,
                   std::string("ustar\0"
                               "00",
                               8));
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (const char c : header) {
        sum += static_cast<unsigned char>(c);
    }
    octal(148, 7, sum + (breakChecksum ? 1 : 0));
    return header;
}

inline std::string tarPadded(const std::string& bytes)
{
    return bytes + std::string((512 - bytes.size() % 512) % 512, '\0');
}

struct TarEntry {
    std::string name;
    std::string content;
    enum class LongName { No, Gnu, Pax } longName = LongName::No;
    char type = '0';
};

inline std::string tarArchive(const std::vector<TarEntry>& members, bool endBlocks = true)
{
    std::string out;
    for (const TarEntry& m : members) {
        if (m.longName == TarEntry::LongName::Gnu) {
            out += tarHeader("././@LongLink", m.name.size() + 1, 'L') + tarPadded(m.name + '\0');
        } else if (m.longName == TarEntry::LongName::Pax) {
            std::string record = " path=" + m.name + "\n";
            std::size_t length = record.size() + 1;
            while (std::to_string(length).size() + record.size() != length) {
                ++length;
            }
            record = std::to_string(length) + record;
            out += tarHeader("PaxHeaders/x", record.size(), 'x') + tarPadded(record);
        }
        out += tarHeader(m.longName == TarEntry::LongName::No ? m.name : "short", m.content.size(), m.type);
        out += tarPadded(m.content);
    }
    return endBlocks ? out + std::string(1024, '\0') : out;
}

}  // namespace quorvin::testing
