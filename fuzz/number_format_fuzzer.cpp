// SPDX-License-Identifier: MIT
// Both caption layouts on any double: the shape of the text, and a value that reads
// back to within the rounding the layout allows.
#include "runtime/number_format.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using quvo::runtime::formatNumber;
using quvo::runtime::NumberPattern;

void checkThreeDecimals(double value)
{
    const std::string text = formatNumber(value, NumberPattern::ThreeDecimals, {});
    const auto point = text.find('.');
    if (point == std::string::npos || text.size() - point != 4 || point == 0 || text.find(',') != std::string::npos)
        std::abort();
    // Below 2^52 thousandths every value has a nearest rounding to check; reading the
    // text back costs up to an ulp or two of the value itself.
    const double ulp = std::nextafter(std::fabs(value), INFINITY) - std::fabs(value);
    if (std::fabs(value) < 4.0e12 && std::fabs(std::strtod(text.c_str(), nullptr) - value) > 0.0005 + 4 * ulp)
        std::abort();
}

void checkGroupedWhole(double value)
{
    const std::string text = formatNumber(value, NumberPattern::GroupedWhole, {});
    std::string digits;
    for (std::size_t i = text.starts_with('-') ? 1 : 0; i < text.size(); ++i) {
        const bool separatorPlace = (text.size() - i) % 4 == 0;
        if (separatorPlace != (text[i] == ','))
            std::abort();
        if (!separatorPlace)
            digits += text[i];
    }
    const double back = digits.empty() ? 0.0 : std::strtod(digits.c_str(), nullptr) * (text.starts_with('-') ? -1 : 1);
    if (std::fabs(value) < 1e15 && std::fabs(back - value) > 0.5 + 1e-3)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size != sizeof(double))
        return 0;
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    if (!std::isfinite(value)) {
        if (!formatNumber(value, NumberPattern::ThreeDecimals, {}).empty()
            || !formatNumber(value, NumberPattern::GroupedWhole, {}).empty())
            std::abort();
        return 0;
    }
    checkThreeDecimals(value);
    checkGroupedWhole(value);
    return 0;
}
