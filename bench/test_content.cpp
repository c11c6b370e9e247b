// SPDX-License-Identifier: MIT
#include "bench/test_content.h"

#include "runtime/platform.h"

#include <array>
#include <cstring>

namespace quvo::bench {
namespace {

// The content values: 0x20 to 0x7E, then 0x80 to 0xFF.
constexpr unsigned kValues = 223;
constexpr unsigned kBelowDelete = 0x7F - 0x20;

// The v-th content value, without a table, so that the loop below vectorises.
constexpr unsigned char contentByte(unsigned v)
{
    return static_cast<unsigned char>(0x20 + v + (v >= kBelowDelete ? 1 : 0));
}

static_assert([] {
    for (unsigned v = 0; v < kValues; ++v)
        if (!isContentByte(contentByte(v)) || (v > 0 && contentByte(v) <= contentByte(v - 1)))
            return false;
    return contentByte(kValues - 1) == 0xFF;
}());

// SplitMix64: fast, and every seed gives a full-period stream; nothing here needs more.
std::uint64_t nextRandom(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E37'79B9'7F4A'7C15);
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
    return z ^ (z >> 31);
}

// The content value after each content byte, 0x20 after the last.
constexpr std::array<unsigned char, 256> kNextValue = [] {
    std::array<unsigned char, 256> next{};
    for (unsigned v = 0; v < kValues; ++v)
        next[contentByte(v)] = contentByte((v + 1) % kValues);
    return next;
}();

constexpr std::size_t kBlock = runtime::TestFile::kBlockSize;
constexpr std::size_t kPage = TestContent::kStampedBytes;

} // namespace

TestContent::~TestContent()
{
    runtime::deleteIoBlock(bytes_, kBytes);
}

std::error_code TestContent::prepare(std::uint64_t seed)
{
    if (bytes_ == nullptr) {
        auto block = runtime::newIoBlock(kBytes);
        if (!block)
            return block.error();
        bytes_ = *block;
    }
    auto* out = reinterpret_cast<unsigned char*>(bytes_);
    std::uint64_t state = seed;
    // Random 16-bit units a chunk at a time, each scaled onto the values (uneven by at
    // most one part in 65536): two loops the compiler keeps simple and vectorises.
    constexpr std::size_t kChunk = 4096;
    static_assert(kBytes % kChunk == 0);
    std::array<std::uint16_t, kChunk> units{};
    for (std::size_t at = 0; at < kBytes; at += kChunk) {
        for (std::size_t k = 0; k < kChunk; k += 4) {
            const std::uint64_t random = nextRandom(state);
            std::memcpy(&units[k], &random, sizeof random);
        }
        for (std::size_t k = 0; k < kChunk; ++k)
            out[at + k] = contentByte(static_cast<unsigned>(units[k] * kValues >> 16));
    }
    return {};
}

void TestContent::layOutLines()
{
    for (std::size_t end = kPayloadBytes; end < kRingBytes; end += kLineBytes)
        bytes_[end] = runtime::TestFile::kLineEnd.front();
    std::memcpy(bytes_ + kRingBytes, bytes_, kBlock);
}

void TestContent::restamp(std::uint64_t from, std::uint64_t to)
{
    for (std::uint64_t page = from / kPage; page < to / kPage; ++page) {
        // The first line that starts in the page: its stamp lies whole inside it.
        const std::uint64_t ringPage = page % (kRingBytes / kPage);
        const std::size_t at = (ringPage * kPage + kLineBytes - 1) / kLineBytes * kLineBytes;
        moveStampOn(at);
        // The copy of the first block holds the same page.
        if (at < kBlock)
            std::memcpy(bytes_ + kRingBytes + at, bytes_ + at, kStampBytes);
    }
}

// The stamp counts in base 223, its first byte lowest: mostly one byte changes.
void TestContent::moveStampOn(std::size_t at)
{
    auto* stamp = reinterpret_cast<unsigned char*>(bytes_ + at);
    for (std::size_t digit = 0; digit < kStampBytes; ++digit) {
        stamp[digit] = kNextValue[stamp[digit]];
        if (stamp[digit] != contentByte(0))
            return;
    }
}

} // namespace quvo::bench
