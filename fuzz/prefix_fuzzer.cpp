// SPDX-License-Identifier: MIT
// The prefix rule on any drive text: a prefix of the text, trimmed, blank-free.
#include "bench/target.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view driveText(reinterpret_cast<const char*>(data), size);
    const std::string prefix = quvo::bench::targetPrefix(driveText);
    if (prefix.find(' ') != std::string::npos)
        std::abort();
    if (!prefix.empty() && driveText.find(prefix) != driveText.find_first_not_of(' '))
        std::abort();
    return 0;
}
