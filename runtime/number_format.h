// SPDX-License-Identifier: MIT
// The two number layouts of the result captions.
#pragma once

#include <cstdint>
#include <string>

namespace quvo::runtime {

enum class NumberPattern {
    // "0.000": three decimals always, at least one digit before the separator, no grouping.
    ThreeDecimals,
    // "##,###": a whole number grouped by thousands; a value that rounds to 0 gives no
    // digits at all.
    GroupedWhole,
};

// The user's locale's separators (UTF-8; some locales group with a narrow no-break space).
struct NumberSeparators {
    std::string decimal = ".";
    std::string grouping = ",";
};

// Rounds to the nearest value the pattern shows, an exact half away from zero, judged
// on the double's exact binary value (1.0005 is stored just below the half and shows
// 1.000). A leading minus marks a negative value that does not round to zero. A value
// that is not finite gives the empty text.
std::string formatNumber(double value, NumberPattern pattern, const NumberSeparators& separators);

// "79.6 GB": binary units, one decimal, the same in every locale.
std::string formatSize(std::uint64_t bytes);

} // namespace quvo::runtime
