// SPDX-License-Identifier: MIT
#include "bench/test_content.h"

#include "runtime/platform.h"

#include <array>

namespace quvo::bench {
namespace {

constexpr auto kContentBytes = [] {
    std::array<unsigned char, 223> values{};
    std::size_t n = 0;
    for (int byte = 0; byte <= 0xFF; ++byte)
        if (isContentByte(static_cast<unsigned char>(byte)))
            values[n++] = static_cast<unsigned char>(byte);
    return values;
}();

// SplitMix64: fast, and every seed gives a full-period stream; nothing here needs more.
std::uint64_t nextRandom(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E37'79B9'7F4A'7C15);
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EB;
    return z ^ (z >> 31);
}

} // namespace

TestContent::~TestContent()
{
    runtime::deleteIoBlock(bytes_, kBytes);
}

void TestContent::prepare(std::uint64_t seed)
{
    if (bytes_ == nullptr)
        bytes_ = runtime::newIoBlock(kBytes);
    static_assert(kBytes % 4 == 0);
    auto* out = reinterpret_cast<unsigned char*>(bytes_);
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < kBytes; i += 4) {
        const std::uint64_t random = nextRandom(state);
        // Each 16 bits scaled onto the values: uneven by at most one part in 65536.
        for (int k = 0; k < 4; ++k)
            out[i + static_cast<std::size_t>(k)]
                = kContentBytes[((random >> (16 * k)) & 0xFFFF) * kContentBytes.size() >> 16];
    }
}

} // namespace quvo::bench
