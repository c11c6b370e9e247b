// SPDX-License-Identifier: MIT
// What the program under test moved through ReadFile and WriteFile, and how. Linked into
// the Windows tests (transfers.cpp), it also keeps Windows' rule for unbuffered
// transfers, which Wine does not: one whose buffer, size or offset is not a whole number
// of sectors fails with ERROR_INVALID_PARAMETER, and fails the test it happens in.
#pragma once

#include <cstdint>

namespace quvo::test {

// Counted since the program started: transfers of files on disks, by how their handle
// was opened.
struct Transfers {
    std::uint64_t reads = 0;
    std::uint64_t unbufferedReads = 0; // FILE_FLAG_NO_BUFFERING
    std::uint64_t writes = 0;
    std::uint64_t unbufferedWrites = 0;
    std::uint64_t writtenThrough = 0; // FILE_FLAG_WRITE_THROUGH
    std::uint64_t refused = 0;        // misaligned and unbuffered: refused as Windows refuses them

    friend Transfers operator-(const Transfers& after, const Transfers& before)
    {
        return {after.reads - before.reads, after.unbufferedReads - before.unbufferedReads,
            after.writes - before.writes, after.unbufferedWrites - before.unbufferedWrites,
            after.writtenThrough - before.writtenThrough, after.refused - before.refused};
    }
};

Transfers transfersSoFar();

} // namespace quvo::test
