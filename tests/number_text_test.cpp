// Numbers in the fields: written and read back with the locale's separator.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "search_module/number_text.h"

namespace quorvin {
namespace {

TEST(NumberText, WritesGeneralFormWithoutGrouping)
{
    EXPECT_EQ(numberToText(1 / 86400.0, u','), u"1,15740740740741E-05");
    EXPECT_EQ(numberToText(0.5, u'.'), u"0.5");
    EXPECT_EQ(numberToText(123456789012.0, u','), u"123456789012");
    EXPECT_EQ(numberToText(1e20, u','), u"1E+20");
    EXPECT_EQ(numberToText(0, u','), u"0");
    EXPECT_EQ(integerToText(5368709120LL), u"5368709120");
}

TEST(NumberText, GroupsDigitsInThreesWithANoBreakSpace)
{
    EXPECT_EQ(groupedInteger(0), u"0");
    EXPECT_EQ(groupedInteger(999), u"999");
    EXPECT_EQ(groupedInteger(1000), u"1\u00A0000");
    EXPECT_EQ(groupedInteger(1073741824), u"1\u00A0073\u00A0741\u00A0824");
    EXPECT_EQ(groupedInteger(UINT64_MAX), u"18\u00A0446\u00A0744\u00A0073\u00A0709\u00A0551\u00A0615");
}

TEST(NumberText, ReadsBackExactlyWhatItWrote)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(1, 10);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (char16_t separator : {u',', u'.'}) {
        for (int i = 0; i < 10000; ++i) {
            const double value = mantissa(random) * std::pow(10.0, exponent(random));
            const std::u16string text = numberToText(value, separator);
            const auto back = textToNumber(text, separator);
            ASSERT_TRUE(back);
            EXPECT_EQ(numberToText(*back, separator), text);
            EXPECT_NEAR(*back / value, 1, 1e-14);
        }
    }
}

TEST(NumberText, RefusesWhatIsNoNumber)
{
    EXPECT_FALSE(textToNumber(u"", u','));
    EXPECT_FALSE(textToNumber(u"1 000", u','));
    EXPECT_FALSE(textToNumber(u"1.5", u','));
    EXPECT_FALSE(textToNumber(u"abc", u','));
    EXPECT_EQ(textToNumber(u"2,5E-3", u','), 0.0025);
}

}  // namespace
}  // namespace quorvin
