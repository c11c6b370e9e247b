// SPDX-License-Identifier: MIT
// What the test files are made of: bytes that no file system or drive can compress
// away or keep once for many places, so that the bytes a row counts are the bytes the
// device takes.
#pragma once

#include "runtime/test_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace quvo::bench {

// 10,240,000 random bytes drawn evenly from the 223 printable values (every byte but
// the ASCII controls and DEL, so never a line end), different in every run. Rows 0 and
// 2 write them one per item, in order. Compressors work on 64 to 128 KiB at a time: no
// such stretch of a test file repeats, and entropy coding of 223 even values gains
// under 3 %.
//
// Row 4 then writes the same memory, laid out as lines (layOutLines): a ring of 8192
// lines of 1024 content bytes and a line end, which the file repeats, followed by a
// copy of the ring's first block, so that a block that starts anywhere in the ring lies
// whole in memory and goes to the file from there, with no copy. The ring fills whole
// pages, so every block starts at an aligned place of it, as direct I/O wants; and it is
// a little longer than 8 MiB, the widest window a compressor reaches back over. Each
// page of it carries a stamp that moves on each time the page is written (restamp), so
// that no 4 KiB block of row 4's file ever comes again: a file system or drive that
// stores blocks alike once (deduplication) still stores them all. One stamp a page
// rather than a line: the pages are in no cache by the time they are restamped, and a
// stamp a line cost a fifth of the loop's time over the null layer.
class TestContent {
public:
    static constexpr std::size_t kBytes = 10'240'000;
    static constexpr std::size_t kPayloadBytes = 1024;
    static constexpr std::size_t kLineBytes = kPayloadBytes + runtime::TestFile::kLineEnd.size();
    static constexpr std::uint64_t kRingLines = 8192;
    static constexpr std::size_t kRingBytes = kRingLines * kLineBytes;
    // Each 4 KiB page of the ring carries a stamp, on the first line that starts in it,
    // which comes round again after 223³ writes of the page.
    static constexpr std::size_t kStampedBytes = 4096;
    static constexpr std::size_t kStampBytes = 3;

    static_assert(kRingBytes % kStampedBytes == 0 && kStampedBytes % runtime::kDirectIoAlignment == 0,
        "every block of row 4's file starts at an aligned place of the ring, and a stamped page");
    static_assert(kRingBytes > std::size_t{8} << 20, "no compressor's window reaches from a line to its next write");
    static_assert(kRingBytes + runtime::TestFile::kBlockSize <= kBytes, "the ring and its copied block fit");
    // A block on its way and the block before it, whose lines are restamped, never
    // share a line of the ring.
    static_assert(kRingBytes >= 3 * runtime::TestFile::kBlockSize);

    TestContent() = default;
    ~TestContent();
    TestContent(const TestContent&) = delete;
    TestContent& operator=(const TestContent&) = delete;

    // Draws the bytes, every page touched, before anything is timed. The system's error
    // when there is no memory for them.
    std::error_code prepare(std::uint64_t seed);

    // The bytes in the order rows 0 and 2 write them; until layOutLines.
    const char* bytes() const { return bytes_; }

    // Lays row 4's lines out in the same memory, once rows 0 and 2 are done with it: a
    // line end after every 1024 bytes of the ring, and the ring's first block copied
    // after it, a third of a millisecond here; the bytes of rows 0 and 2 are gone until
    // the next prepare.
    void layOutLines();
    // Row 4's file from its start: the ring, repeated. The block at offset `at` of the
    // file (a multiple of the block size) lies whole at lines() + at % kRingBytes.
    const char* lines() const { return bytes_; }
    // Moves on the stamps of the pages in bytes [from, to) of row 4's file, counted from
    // its start (multiples of kStampedBytes), once they are written; none of them may be
    // on its way to the file.
    void restamp(std::uint64_t from, std::uint64_t to);

private:
    void moveStampOn(std::size_t at);

    char* bytes_ = nullptr;
};

// Whether a byte is one the test files may hold.
constexpr bool isContentByte(unsigned char byte)
{
    return byte >= 0x20 && byte != 0x7F;
}

} // namespace quvo::bench
