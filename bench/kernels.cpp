// SPDX-License-Identifier: MIT
#include "bench/kernels.h"

#include <algorithm>

namespace quvo::bench {
namespace {

constexpr std::uint64_t kBlock = runtime::TestFile::kBlockSize;

} // namespace

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

// The block just filled goes to the file, which has then written every block before
// it: the stamps of the block before move on.
std::error_code LineWriter::handOver()
{
    const std::uint64_t start = blockEnd_ - kBlock;
    if (auto error = file_.writeFrom(content_.lines() + start % TestContent::kRingBytes, kBlock))
        return error;
    blockEnd_ += kBlock;
    if (start > 0)
        content_.restamp(start - kBlock, start);
    return {};
}

std::error_code LineWriter::finish()
{
    const std::uint64_t start = blockEnd_ - kBlock;
    if (written_ == start)
        return {};
    return file_.writeFrom(content_.lines() + start % TestContent::kRingBytes, written_ - start);
}

} // namespace quvo::bench
