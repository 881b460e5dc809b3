#pragma once
// Numbers written to and read back from the window's fields, with the locale's decimal separator.
// What numberToText writes, textToNumber reads back to the same double (exponent form included).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

// General format: at most 15 significant digits, no digit grouping, exponent form ("1,15740740740741E-05")
// for very small and very large numbers.
std::u16string numberToText(double value, char16_t decimalSeparator);

// Nothing when the text is no number written that way.
std::optional<double> textToNumber(std::u16string_view text, char16_t decimalSeparator);

// Plain decimal digits, no grouping, no leading blank.
std::u16string integerToText(std::int64_t value);

// Digits in threes, as French writes them, separated by a no-break space (U+00A0, which every font of
// both systems draws): « 1 073 741 824 ».
std::u16string groupedInteger(std::uint64_t value);

}  // namespace quorvin
