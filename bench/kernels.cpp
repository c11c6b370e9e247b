// SPDX-License-Identifier: MIT
#include "bench/kernels.h"

namespace quvo::bench {

std::error_code writeItems(runtime::NumberedFiles& files, int number, const char* characters, int writes)
{
    runtime::NumberedFiles::ItemWriter file(files, number);
    for (int i = 1; i <= writes; ++i)
        if (auto error = file.writeItem({characters + i - 1, 1})) [[unlikely]]
            return error;
    return {};
}

std::error_code readLinesToEnd(runtime::NumberedFiles& files, int number, std::string& buffer, int& count)
{
    std::string_view line;
    for (;;) {
        const auto atEnd = files.atEnd(number);
        if (!atEnd)
            return atEnd.error();
        if (*atEnd)
            return {};
        if (auto error = files.readLine(number, buffer, line))
            return error;
        ++count;
    }
}

} // namespace quvo::bench
