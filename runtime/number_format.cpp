// SPDX-License-Identifier: MIT
#include "runtime/number_format.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quvo::runtime {
namespace {

// Beyond this, magnitude × 1000 passes 2^52 and a double has no halves left to round.
constexpr double kThousandthsLimit = 4.0e12;

// magnitude × 1000 rounded to a whole number, halves away from zero, free of the error
// that the product itself brings: fma recovers exactly what the rounded product lost.
double roundedThousandths(double magnitude)
{
    const double product = magnitude * 1000.0;
    const double lost = std::fma(magnitude, 1000.0, -product); // magnitude × 1000 == product + lost
    const double whole = std::floor(product);
    const double fraction = product - whole; // exact, and a whole number of product's ulps
    // Off an exact half, fraction alone decides: lost is under half an ulp.
    if (fraction > 0.5 || (fraction == 0.5 && lost >= 0.0))
        return whole + 1.0;
    return whole;
}

// The decimal digits of a whole, finite, non-negative double.
std::string digitsOf(double whole)
{
    char buffer[320]; // DBL_MAX has 309 digits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, whole, std::chars_format::fixed, 0);
    return {buffer, result.ptr};
}

std::string threeDecimals(double magnitude, const std::string& separator)
{
    if (magnitude >= kThousandthsLimit)
        return digitsOf(std::round(magnitude)) + separator + "000";
    std::string digits = digitsOf(roundedThousandths(magnitude));
    if (digits.size() < 4)
        digits.insert(0, 4 - digits.size(), '0');
    const std::size_t point = digits.size() - 3;
    return digits.substr(0, point) + separator + digits.substr(point);
}

std::string groupedWhole(double whole, const std::string& separator)
{
    const std::string digits = digitsOf(whole);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text;
}

} // namespace

std::string formatNumber(double value, NumberPattern pattern, const NumberSeparators& separators)
{
    if (!std::isfinite(value))
        return {};
    const double magnitude = std::fabs(value);
    std::string text;
    bool zero = false;
    if (pattern == NumberPattern::ThreeDecimals) {
        text = threeDecimals(magnitude, separators.decimal);
        zero = text.find_first_of("123456789") == std::string::npos;
    } else {
        const double whole = std::round(magnitude); // halves away from zero, exactly
        if (whole == 0.0)
            return {};
        text = groupedWhole(whole, separators.grouping);
    }
    return std::signbit(value) && !zero ? "-" + text : text;
}

std::string formatSize(std::uint64_t bytes)
{
    constexpr std::array kUnits = {"KB", "MB", "GB", "TB", "PB"};
    double amount = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (amount >= 1024 && unit + 1 < kUnits.size()) {
        amount /= 1024;
        ++unit;
    }
    std::array<char, 32> digits{};
    const auto end
        = std::to_chars(digits.data(), digits.data() + digits.size(), amount, std::chars_format::fixed, 1).ptr;
    return std::string(digits.data(), end) + " " + kUnits[unit];
}

} // namespace quvo::runtime
