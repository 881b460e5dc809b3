#include "platform/posix/native_path.h"

#include <cstdint>

namespace quorvin::platform::posix {

namespace {

// Length of the valid UTF-8 sequence at `s`, or 0.
std::size_t validSequence(std::string_view s, char32_t& code)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t b0 = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (b0 < 0x80) {
        code = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, code = b0 & 0x1F, minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, code = b0 & 0x0F, minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, code = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::u16string fromNativePath(std::string_view bytes)
{
    std::u16string path;
    path.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t code = 0;
        std::size_t length = validSequence(bytes, code);
        if (length == 0) {
            path.push_back(static_cast<char16_t>(0xDC00 | static_cast<std::uint8_t>(bytes[0])));
            length = 1;
        } else if (code >= 0x10000) {
            path.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            path.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            path.push_back(static_cast<char16_t>(code));
        }
        bytes.remove_prefix(length);
    }
    return path;
}

std::string toNativePath(std::u16string_view path)
{
    std::string bytes;
    bytes.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            appendUtf8(bytes, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (path[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            bytes.push_back(static_cast<char>(c & 0xFF));  // an escaped byte of an invalid name
        } else {
            appendUtf8(bytes, c);  // a lone surrogate otherwise has no bytes; its code keeps it distinct
        }
    }
    return bytes;
}

}  // namespace quorvin::platform::posix
