// SPDX-License-Identifier: MIT
// The caption layouts "0.000" and "##,###", their rounding, and their separators.
#include "runtime/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quvo::runtime {
namespace {

using enum NumberPattern;

struct FormatCase {
    const char* name;
    double value;
    NumberPattern pattern;
    NumberSeparators separators;
    const char* expected;
};

const NumberSeparators kC{};
const NumberSeparators kGerman{",", "."};
const NumberSeparators kFrench{",", "\u202F"};

TEST(FormatNumber, LaysOutEachPattern)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const FormatCase cases[] = {
        {"zero", 0.0, ThreeDecimals, kC, "0.000"},
        {"below half a thousandth", 0.0004, ThreeDecimals, kC, "0.000"},
        {"stored just above the half", 0.0005, ThreeDecimals, kC, "0.001"},
        {"stored just below the half", 1.0005, ThreeDecimals, kC, "1.000"},
        {"exact half goes away from zero", 0.0625, ThreeDecimals, kC, "0.063"},
        {"exact half, negative", -2.0625, ThreeDecimals, kC, "-2.063"},
        {"exact half far from zero", -268435456.6875, ThreeDecimals, kC, "-268435456.688"},
        {"no grouping in seconds", 1234.5678, ThreeDecimals, kC, "1234.568"},
        {"negative", -1.5, ThreeDecimals, kC, "-1.500"},
        {"negative that rounds to zero has no minus", -0.0001, ThreeDecimals, kC, "0.000"},
        {"locale's decimal separator", 10.0, ThreeDecimals, kGerman, "10,000"},
        {"beyond exact thousandths", 1e20, ThreeDecimals, kC, "100000000000000000000.000"},
        {"not finite", nan, ThreeDecimals, kC, ""},
        {"zero gives no digits", 0.0, GroupedWhole, kC, ""},
        {"rounds to zero gives no digits", 0.4999, GroupedWhole, kC, ""},
        {"exact half goes away from zero", 2.5, GroupedWhole, kC, "3"},
        {"exact half, negative", -2.5, GroupedWhole, kC, "-3"},
        {"full scale", 75000.0, GroupedWhole, kC, "75,000"},
        {"rounding carries into a new group", 999.5, GroupedWhole, kC, "1,000"},
        {"millions", 1234567.4, GroupedWhole, kC, "1,234,567"},
        {"negative grouped", -1234.0, GroupedWhole, kC, "-1,234"},
        {"locale's grouping separator", 1234567.0, GroupedWhole, kGerman, "1.234.567"},
        {"multi-byte grouping separator", 75000.0, GroupedWhole, kFrench, "75\u202F000"},
        {"infinite", -inf, GroupedWhole, kC, ""},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(formatNumber(c.value, c.pattern, c.separators), c.expected) << c.name;
}

TEST(FormatSize, UsesBinaryUnitsWithOneDecimal)
{
    const struct {
        std::uint64_t bytes;
        const char* expected;
    } cases[] = {
        {0, "0.0 KB"},
        {1536, "1.5 KB"},
        {10'240'000, "9.8 MB"},
        {std::uint64_t{80} << 30, "80.0 GB"},
        {std::uint64_t{3} << 50, "3.0 PB"},
        {std::uint64_t{5000} << 50, "5000.0 PB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatSize(c.bytes), c.expected) << c.bytes;
}

} // namespace
} // namespace quvo::runtime
