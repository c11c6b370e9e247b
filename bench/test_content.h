// SPDX-License-Identifier: MIT
// What the test files are made of: bytes that no file system or drive can compress
// away, so that the bytes a row counts are the bytes the device takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace quvo::bench {

// 10,240,000 random bytes drawn evenly from the 223 printable values (every byte but
// the ASCII controls and DEL, so never a line end), different in every run. Rows 0 and
// 2 write them one per item, in order; row 4 writes them a kilobyte per line, so that
// ten thousand lines (10 MB) pass before a line comes again. Compressors work on 64 to
// 128 KiB at a time: no such stretch of a test file repeats, and entropy coding of 223
// even values gains under 3 %.
class TestContent {
public:
    static constexpr std::size_t kBytes = 10'240'000;
    static constexpr std::size_t kPayloadBytes = 1024;

    TestContent() = default;
    ~TestContent();
    TestContent(const TestContent&) = delete;
    TestContent& operator=(const TestContent&) = delete;

    // Draws the bytes, every page touched, before anything is timed. The system's error
    // when there is no memory for them.
    std::error_code prepare(std::uint64_t seed);

    // The bytes in the order rows 0 and 2 write them.
    const char* bytes() const { return bytes_; }
    // Row 4's line-th payload, from 0.
    std::string_view payload(std::uint64_t line) const
    {
        return {bytes_ + line % (kBytes / kPayloadBytes) * kPayloadBytes, kPayloadBytes};
    }

private:
    char* bytes_ = nullptr;
};

// Whether a byte is one the test files may hold.
constexpr bool isContentByte(unsigned char byte)
{
    return byte >= 0x20 && byte != 0x7F;
}

} // namespace quvo::bench
