// SPDX-License-Identifier: MIT
#include "bench/target.h"

namespace quvo::bench {

std::string targetPrefix(std::string_view driveText)
{
    const auto blank = driveText.find(' ');
    std::string_view prefix = blank == std::string_view::npos ? std::string_view{} : driveText.substr(0, blank + 1);
    const auto first = prefix.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    prefix = prefix.substr(first, prefix.find_last_not_of(' ') - first + 1);
    return std::string(prefix);
}

} // namespace quvo::bench
