// SPDX-License-Identifier: MIT
#include "bench/kernels.h"

#include <algorithm>

namespace quvo::bench {

std::error_code writeItems(runtime::TestFile& file, const char* characters, int writes)
{
    runtime::TestFile::ItemWriter writer(file);
    // Counted by the content's own place rather than an index the compiler would have
    // to turn back into one: the writes go from the first character to the writes-th.
    const char* const end = characters + std::max(writes, 0);
    for (const char* next = characters; next != end; ++next)
        if (auto error = writer.writeItem({next, 1})) [[unlikely]]
            return error;
    return {};
}

std::error_code readLinesToEnd(runtime::TestFile& file, std::string& buffer, int& count, std::string_view& line)
{
    for (;;) {
        const auto atEnd = file.atEnd();
        if (!atEnd)
            return atEnd.error();
        if (*atEnd)
            return {};
        if (auto error = file.readLine(buffer, line))
            return error;
        ++count;
    }
}

} // namespace quvo::bench
