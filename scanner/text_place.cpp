#include "scanner/text_place.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scanner/linear_matcher.h"
#include "scanner/unicode_form.h"

namespace quorvin {

// Units are put together as a little-endian load of their bytes reads them, in vectors and one at a time.
static_assert(std::endian::native == std::endian::little, "the line breaks are counted in little-endian vectors");

namespace {

constexpr std::uint32_t kNoCharacter = LinearMatcher::kNoCharacter;
// What is read again before the occurrence, at a time.
constexpr std::size_t kCountingBlock = std::size_t{1} << 20;
constexpr char16_t kCut = u'\u2026';

bool isUtf16(TextForm form)
{
    return form == TextForm::Utf16Le || form == TextForm::Utf16Be;
}

Encoding encodingOf(TextForm form)
{
    return form == TextForm::Utf8 ? Encoding::Utf8 : form == TextForm::Utf16Le ? Encoding::Utf16Le : Encoding::Utf16Be;
}

// The character at `bytes`' start in `form`.
Decoded characterAt(TextForm form, const CodePage& codePage, std::span<const std::uint8_t> bytes)
{
    if (form == TextForm::CodePage) {
        return {codePage.decode(bytes[0]), 1};
    }
    return decode(encodingOf(form), bytes);
}

std::size_t readFully(const ReadAt& read, std::uint64_t offset, std::span<std::uint8_t> into)
{
    std::size_t got = 0;
    while (got < into.size()) {
        const std::size_t more = read(offset + got, into.subspan(got));
        if (more == 0) {
            break;
        }
        got += more;
    }
    return got;
}

// The characters in `bytes`, stopping short of one that may go on past them unless `atEnd`; `used`
// receives the bytes they take.
std::uint64_t countCharacters(TextForm form, const CodePage& codePage, std::span<const std::uint8_t> bytes, bool atEnd,
                              std::size_t& used)
{
    if (form == TextForm::CodePage) {
        used = bytes.size();
        return bytes.size();
    }
    std::uint64_t count = 0;
    std::size_t at = 0;
    while (at < bytes.size() && (atEnd || bytes.size() - at >= 4)) {
        at += characterAt(form, codePage, bytes.subspan(at)).size;
        ++count;
    }
    used = at;
    return count;
}

// Whether the bytes read as UTF-8 that is not all ASCII; where `cut`, the last character may go on past them.
bool readsAsUtf8(std::span<const std::uint8_t> bytes, bool cut)
{
    bool beyondAscii = false;
    for (std::size_t at = 0; at < bytes.size();) {
        const Decoded d = decode(Encoding::Utf8, bytes.subspan(at));
        if (d.character == kNoCharacter) {
            return cut && bytes.size() - at < 4 && beyondAscii;
        }
        beyondAscii = beyondAscii || d.character >= 0x80;
        at += d.size;
    }
    return beyondAscii;
}

std::size_t byteOrderMark(TextForm form, std::span<const std::uint8_t> first)
{
    const auto starts = [&first](std::initializer_list<std::uint8_t> mark) {
        return first.size() >= mark.size() && std::equal(mark.begin(), mark.end(), first.begin());
    };
    switch (form) {
    case TextForm::Utf8:
        return starts({0xEF, 0xBB, 0xBF}) ? 3 : 0;
    case TextForm::Utf16Le:
        return starts({0xFF, 0xFE}) ? 2 : 0;
    case TextForm::Utf16Be:
        return starts({0xFE, 0xFF}) ? 2 : 0;
    case TextForm::CodePage:
        break;
    }
    return 0;
}

void appendShown(std::u16string& text, char32_t c)
{
    if (c == kNoCharacter) {
        text += u'\uFFFD';
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        text += u' ';  // a control character, a tab among them
    } else if (c > 0xFFFF) {
        text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        text += static_cast<char16_t>(c);
    }
}

// `before`, `text` and `after` as shown: `before`'s last `beforeCount` characters, « … » where more of
// the line was left out.
std::u16string shown(const std::u32string& before, std::size_t beforeCount, bool moreBefore, std::u32string_view text,
                     const std::u32string& after, std::size_t afterCount, bool moreAfter)
{
    std::u16string line;
    if (moreBefore || beforeCount < before.size()) {
        line += kCut;
    }
    for (std::size_t i = before.size() - beforeCount; i < before.size(); ++i) {
        appendShown(line, before[i]);
    }
    for (const char32_t c : text) {
        appendShown(line, c);
    }
    for (std::size_t i = 0; i < afterCount; ++i) {
        appendShown(line, after[i]);
    }
    if (moreAfter || afterCount < after.size()) {
        line += kCut;
    }
    return line;
}

}  // namespace

LineBreaks::LineBreaks(TextForm form, std::uint64_t firstUnit)
    : unitSize_(isUtf16(form) ? 2 : 1), lf_unit_(form == TextForm::Utf16Be ? 0x0A00 : 0x0A),
      cr_unit_(form == TextForm::Utf16Be ? 0x0D00 : 0x0D), firstUnit_(isUtf16(form) ? firstUnit : 0),
      lineStart_(firstUnit_)
{
}

std::uint32_t LineBreaks::unitAt(std::span<const std::uint8_t> bytes, std::size_t at) const
{
    return unitSize_ == 1 ? bytes[at] : bytes[at] | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

void LineBreaks::unit(std::uint32_t unit, std::uint64_t end)
{
    if (unit == lf_unit_) {
        ++lf_;
        crLf_ += lastWasCr_ ? 1 : 0;
        lineStart_ = end;
    } else if (unit == cr_unit_) {
        ++cr_;
        lineStart_ = end;
    }
    lastWasCr_ = unit == cr_unit_;
}

#if defined(__SSE2__)
// Sixteen bytes at a time: each unit equal to LF, to CR, or a CR followed by LF, adds one to its lane's
// count, up to 255 vectors before the lanes are summed. A CR LF pair is seen through the unit after each
// vector's last, so the bytes counted stop one unit short of the end.
std::size_t LineBreaks::vectors(std::span<const std::uint8_t> bytes, std::uint64_t at)
{
    const bool wide = unitSize_ == 2;
    const __m128i lf = wide ? _mm_set1_epi16(static_cast<short>(lf_unit_)) : _mm_set1_epi8(static_cast<char>(lf_unit_));
    const __m128i cr = wide ? _mm_set1_epi16(static_cast<short>(cr_unit_)) : _mm_set1_epi8(static_cast<char>(cr_unit_));
    const auto equal = [wide](__m128i a, __m128i b) { return wide ? _mm_cmpeq_epi16(a, b) : _mm_cmpeq_epi8(a, b); };
    const auto add = [wide](__m128i count, __m128i hits) {
        return wide ? _mm_sub_epi16(count, hits) : _mm_sub_epi8(count, hits);
    };
    const auto sum = [wide](__m128i count) {
        const __m128i lanes =
            wide ? _mm_madd_epi16(count, _mm_set1_epi16(1)) : _mm_sad_epu8(count, _mm_setzero_si128());
        alignas(16) std::uint32_t parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), lanes);
        return std::uint64_t{parts[0]} + parts[1] + parts[2] + parts[3];
    };
    if (bytes.size() < 16 + unitSize_) {
        return 0;
    }
    const std::size_t vectorCount = (bytes.size() - unitSize_) / 16;
    const std::uint64_t before = lf_ + cr_;
    if (lastWasCr_ && unitAt(bytes, 0) == lf_unit_) {
        ++crLf_;  // the pair split across two feeds
    }
    for (std::size_t done = 0; done < vectorCount;) {
        const std::size_t run = std::min<std::size_t>(255, vectorCount - done);
        __m128i lfs = _mm_setzero_si128(), crs = _mm_setzero_si128(), pairs = _mm_setzero_si128();
        for (const std::uint8_t* p = bytes.data() + 16 * done; p < bytes.data() + 16 * (done + run); p += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + unitSize_));
            const __m128i isCr = equal(v, cr);
            lfs = add(lfs, equal(v, lf));
            crs = add(crs, isCr);
            pairs = add(pairs, _mm_and_si128(isCr, equal(next, lf)));
        }
        lf_ += sum(lfs);
        cr_ += sum(crs);
        crLf_ += sum(pairs);
        done += run;
    }
    const std::size_t counted = 16 * vectorCount;
    // A CR ending the bytes counted was paired with the unit after it already.
    lastWasCr_ = false;
    if (lf_ + cr_ != before) {
        for (std::size_t unit = counted; unit > 0; unit -= unitSize_) {
            const std::size_t i = unit - unitSize_;
            const std::uint32_t u = unitAt(bytes, i);
            if (u == lf_unit_ || u == cr_unit_) {
                lineStart_ = at + unit;
                break;
            }
        }
    }
    return counted;
}
#endif

void LineBreaks::feed(std::span<const std::uint8_t> bytes)
{
    std::size_t at = 0;
    if (offset_ < firstUnit_) {
        at = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), firstUnit_ - offset_));
    }
    if (half_ && at < bytes.size()) {
        unit(*half_ | static_cast<std::uint32_t>(bytes[at]) << 8, offset_ + at + 1);
        half_.reset();
        ++at;
    }
#if defined(__SSE2__)
    at += vectors(bytes.subspan(at), offset_ + at);
#endif
    for (; at + unitSize_ <= bytes.size(); at += unitSize_) {
        unit(unitAt(bytes, at), offset_ + at + unitSize_);
    }
    if (at < bytes.size()) {
        half_ = bytes[at];
    }
    offset_ += bytes.size();
}

std::optional<TextPlace> placeOf(const FirstOccurrence& locator, const CodePage& codePage, const ReadAt& read,
                                 std::uint64_t blockStart, std::uint64_t blockEnd, const std::function<bool()>& goOn)
{
    // The first occurrence ends in the block, past what was carried into it: it starts at most the longest
    // occurrence before the block, and ends at most that far past it.
    const std::uint64_t longest = locator.longest();
    const std::uint64_t from = blockStart > longest ? blockStart - longest : 0;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blockEnd + longest - from));
    bytes.resize(readFully(read, from, bytes));
    const std::optional<Occurrence> found = locator.find(bytes, from % 2 == 1);
    if (!found) {
        return std::nullopt;
    }
    TextPlace place;
    place.offset = from + found->start;
    place.form = found->form;
    const std::vector<std::uint8_t> occurrence(bytes.begin() + static_cast<std::ptrdiff_t>(found->start),
                                               bytes.begin() + static_cast<std::ptrdiff_t>(found->start + found->size));

    LineBreaks breaks(place.form, place.offset % 2);
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kCountingBlock, place.offset)));
    for (std::uint64_t at = 0; at < place.offset;) {
        if (goOn && !goOn()) {
            return std::nullopt;
        }
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), place.offset - at));
        const std::size_t got = readFully(read, at, std::span(bytes).first(wanted));
        if (got == 0) {
            return std::nullopt;  // the file shrank meanwhile
        }
        breaks.feed(std::span(bytes).first(got));
        at += got;
    }
    place.line = breaks.count() + 1;

    // The line around the occurrence, as far as kLineReach characters on either side.
    std::uint64_t lineStart = breaks.lineStart();
    std::array<std::uint8_t, 3> first{};
    const std::size_t firstGot = lineStart == 0 ? readFully(read, 0, first) : 0;
    const auto reach = static_cast<std::uint64_t>(4 * kLineReach);
    const std::uint64_t aroundFrom = std::max(lineStart, place.offset - std::min(place.offset, reach));
    const auto aroundWanted = static_cast<std::size_t>(place.offset - aroundFrom + found->size + reach);
    std::vector<std::uint8_t> around(aroundWanted);
    around.resize(readFully(read, aroundFrom, around));
    if (around.size() < place.offset - aroundFrom + found->size) {
        return std::nullopt;  // the file shrank meanwhile
    }
    const bool atFileEnd = around.size() < aroundWanted;
    const auto beforeBytes =
        std::span<const std::uint8_t>(around).first(static_cast<std::size_t>(place.offset - aroundFrom));
    const auto afterBytes = std::span<const std::uint8_t>(around).subspan(beforeBytes.size() + found->size);
    if (found->utf8Too && (byteOrderMark(TextForm::Utf8, std::span(first).first(firstGot)) > 0 ||
                           readsAsUtf8(beforeBytes, false) || readsAsUtf8(afterBytes, !atFileEnd))) {
        place.form = TextForm::Utf8;
    }
    if (lineStart == 0) {
        lineStart = byteOrderMark(place.form, std::span(first).first(firstGot));  // no character of the line
    }

    // The column: every character from the line's start, read again where the line is longer than the reach.
    std::uint64_t column = 0;
    std::size_t beforeFrom = static_cast<std::size_t>(std::max(lineStart, aroundFrom) - aroundFrom);
    if (lineStart < aroundFrom) {
        std::vector<std::uint8_t> chunk(kCountingBlock + 4);
        std::size_t left = 0;  // bytes of a character the last chunk cut, moved to the chunk's start
        for (std::uint64_t at = lineStart; at < aroundFrom;) {
            if (goOn && !goOn()) {
                return std::nullopt;
            }
            const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kCountingBlock, aroundFrom - at));
            const std::size_t got = readFully(read, at, std::span(chunk).subspan(left, wanted));
            if (got == 0) {
                return std::nullopt;
            }
            at += got;
            std::size_t used = 0;
            column += countCharacters(place.form, codePage, std::span(chunk).first(left + got), false, used);
            left = left + got - used;
            std::memmove(chunk.data(), chunk.data() + used, left);
        }
        // What the chunks left runs into the bytes around: the characters read on from there.
        std::vector<std::uint8_t> joined(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(left));
        joined.insert(joined.end(), beforeBytes.begin(), beforeBytes.end());
        std::size_t at = 0;
        while (at < left) {
            at += characterAt(place.form, codePage, std::span(joined).subspan(at)).size;
            ++column;
        }
        beforeFrom = std::min(at - left, beforeBytes.size());
    }
    const bool cutBefore = lineStart < aroundFrom;
    std::u32string before;
    for (std::size_t at = beforeFrom; at < beforeBytes.size();) {
        const Decoded d = characterAt(place.form, codePage, beforeBytes.subspan(at));
        at += d.size;
        before += d.character;
        ++column;
    }
    place.column = column + 1;

    std::u32string text;
    for (std::size_t at = 0; at < occurrence.size();) {
        const Decoded d = characterAt(place.form, codePage, std::span(occurrence).subspan(at));
        text += d.character;
        at += d.size;
    }
    std::u32string after;
    bool moreAfter = false;
    for (std::size_t at = 0; at < afterBytes.size();) {
        if (!atFileEnd && afterBytes.size() - at < 4) {
            moreAfter = true;  // the character may go on past what was read
            break;
        }
        const Decoded d = characterAt(place.form, codePage, afterBytes.subspan(at));
        if (d.character == U'\n' || d.character == U'\r') {
            break;
        }
        after += d.character;
        at += d.size;
        if (after.size() == kLineReach) {
            moreAfter = at < afterBytes.size() || !atFileEnd;
            break;
        }
    }

    place.wholeLine = shown(before, std::min(before.size(), kLineReach), cutBefore, text, after,
                            std::min(after.size(), kLineReach), moreAfter);
    if (text.size() >= kExcerptCharacters) {
        place.excerpt = shown(before, 0, cutBefore || !before.empty(),
                              std::u32string_view(text).substr(0, kExcerptCharacters), after, 0, true);
        return place;
    }
    // The occurrence in the middle; a side the line leaves short gives its room to the other.
    const std::size_t side = (kExcerptCharacters - text.size()) / 2;
    std::size_t left = std::min(side, before.size());
    const std::size_t right = std::min(after.size(), kExcerptCharacters - text.size() - left);
    left = std::min(before.size(), kExcerptCharacters - text.size() - right);
    place.excerpt = shown(before, left, cutBefore, text, after, right, moreAfter);
    return place;
}

}  // namespace quorvin
