#pragma once
// The slow, plain search the scanner is checked against: at every offset of the whole file, in each
// form, the bytes are read as characters one by one (a reading counts only if writing the character
// again gives the same bytes), folded and compared with the text's. And the one way the tests feed a
// file to the scanner: in blocks, as the program's reads do.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "encoding/code_page.h"
#include "scanner/block_scanner.h"
#include "scanner/case_folding.h"

namespace quorvin::naive {

enum Form { kCodePage, kUtf8, kUtf16Le, kUtf16Be };
inline constexpr Form kForms[] = {kCodePage, kUtf8, kUtf16Le, kUtf16Be};

inline std::string utf8(char32_t c)
{
    const auto b = [](char32_t x) { return static_cast<char>(x); };
    if (c < 0x80) return {b(c)};
    if (c < 0x800) return {b(0xC0 | c >> 6), b(0x80 | (c & 0x3F))};
    if (c < 0x10000) return {b(0xE0 | c >> 12), b(0x80 | (c >> 6 & 0x3F)), b(0x80 | (c & 0x3F))};
    return {b(0xF0 | c >> 18), b(0x80 | (c >> 12 & 0x3F)), b(0x80 | (c >> 6 & 0x3F)), b(0x80 | (c & 0x3F))};
}

inline std::string utf16(char32_t c, bool bigEndian)
{
    std::string s;
    const auto unit = [&](char32_t u) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        s += bigEndian ? std::string{high, low} : std::string{low, high};
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        unit(0xD800 + ((c - 0x10000) >> 10));
        unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return s;
}

inline std::string written(const std::u32string& text, Form form)
{
    std::string s;
    for (char32_t c : text) s += form == kUtf8 ? utf8(c) : utf16(c, form == kUtf16Be);
    return s;
}

inline constexpr char32_t kNone = 0xFFFFFFFF;

// The character at `at` in a Unicode form and the bytes it takes, or kNone.
inline std::pair<char32_t, std::size_t> read(const std::string& bytes, std::size_t at, Form form)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
    if (form == kUtf8) {
        for (std::size_t size = 1; size <= 4 && at + size <= bytes.size(); ++size) {
            char32_t c = size == 1 ? byte(0) : byte(0) & (0x7F >> size);
            for (std::size_t k = 1; k < size; ++k) c = c << 6 | (byte(k) & 0x3F);
            if (c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF) && bytes.compare(at, size, utf8(c)) == 0) return {c, size};
        }
        return {kNone, 1};
    }
    if (at + 2 > bytes.size()) return {kNone, 1};
    const auto unit = [&](std::size_t k) {
        return form == kUtf16Le ? char32_t{byte(k)} | char32_t{byte(k + 1)} << 8
                                : char32_t{byte(k)} << 8 | char32_t{byte(k + 1)};
    };
    const char32_t u = unit(0);
    if (u < 0xD800 || u > 0xDFFF) return {u, 2};
    if (u <= 0xDBFF && at + 4 <= bytes.size() && unit(2) >= 0xDC00 && unit(2) <= 0xDFFF) {
        return {0x10000 + ((u - 0xD800) << 10) + (unit(2) - 0xDC00), 4};
    }
    return {kNone, 2};
}

inline constexpr std::size_t kNowhere = std::string::npos;

// Where `folded` (bytes already folded through `fold`) first starts in `file` read through `fold`, or
// kNowhere; an empty text starts at 0.
inline std::size_t firstFolded(std::string_view file, std::string_view folded, const ByteTable& fold)
{
    for (std::size_t i = 0; i + folded.size() <= file.size(); ++i) {
        std::size_t k = 0;
        while (k < folded.size() &&
               fold[static_cast<unsigned char>(file[i + k])] == static_cast<unsigned char>(folded[k])) {
            ++k;
        }
        if (k == folded.size()) return i;
    }
    return kNowhere;
}

// Feeds `file` to `scanner` in blocks of `blockSize`, the last one shorter: whether the text occurred.
inline bool feedInBlocks(BlockScanner& scanner, std::string_view file, std::size_t blockSize)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    for (std::size_t at = 0; at < file.size(); at += blockSize) {
        if (scanner.feed(std::span(bytes + at, std::min(blockSize, file.size() - at)))) return true;
    }
    return false;
}

// One past the last byte of the occurrence of `text` in `file`, in `form`, that ends first; kNowhere.
inline std::size_t firstEnd(const std::string& file, const std::u16string& text, Form form, const CodePage& page)
{
    std::size_t first = kNowhere;
    if (form == kCodePage) {
        const std::optional<std::string> bytes = page.encode(text);
        if (!bytes) return kNowhere;
        const ByteTable& f = page.foldTable();
        std::string folded = *bytes;
        for (char& c : folded) c = static_cast<char>(f[static_cast<unsigned char>(c)]);
        const std::size_t at = firstFolded(file, folded, f);
        return at == kNowhere ? kNowhere : at + folded.size();
    }
    const std::optional<std::u32string> characters = unicode::fromUtf16(text);
    if (!characters || characters->empty()) return kNowhere;
    for (std::size_t i = 0; i < file.size() && i < first; ++i) {
        std::size_t at = i, k = 0;
        for (; k < characters->size() && at < file.size(); ++k) {
            const auto [c, size] = read(file, at, form);
            if (c == kNone || unicode::fold(c) != unicode::fold((*characters)[k])) break;
            at += size;
        }
        if (k == characters->size()) first = std::min(first, at);
    }
    return first;
}

inline std::size_t firstEndInAnyForm(const std::string& file, const std::u16string& text, const CodePage& page)
{
    std::size_t first = kNowhere;
    for (Form form : kForms) first = std::min(first, firstEnd(file, text, form, page));
    return first;
}

}  // namespace quorvin::naive
