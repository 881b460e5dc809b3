#include "search_module/number_text.h"

#include <charconv>
#include <string>

namespace quorvin {

std::u16string numberToText(double value, char16_t decimalSeparator)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::u16string text;
    for (const char* p = buffer; p != result.ptr; ++p) {
        if (*p == '.') {
            text.push_back(decimalSeparator);
        } else if (*p == 'e') {
            text.push_back(u'E');
        } else {
            text.push_back(static_cast<char16_t>(*p));
        }
    }
    return text;
}

std::optional<double> textToNumber(std::u16string_view text, char16_t decimalSeparator)
{
    std::string ascii;
    for (char16_t c : text) {
        if (c == decimalSeparator) {
            ascii.push_back('.');
        } else if ((c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'E' || c == u'e') {
            ascii.push_back(static_cast<char>(c));
        } else {
            return std::nullopt;
        }
    }
    double value = 0;
    const char* end = ascii.data() + ascii.size();
    const auto result = std::from_chars(ascii.data(), end, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::u16string integerToText(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    return {digits.begin(), digits.end()};
}

std::u16string groupedInteger(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::u16string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += u'\u00A0';
        }
        text += static_cast<char16_t>(digits[i]);
    }
    return text;
}

}  // namespace quorvin
