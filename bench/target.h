// SPDX-License-Identifier: MIT
// Where a run writes: the target prefix taken from the drive text, and the test files.
#pragma once

#include "bench/rows.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quvo::bench {

inline constexpr std::string_view kTestFile1Name = "DriveSpeedTest.txt";
inline constexpr std::string_view kTestFile2Name = "DriveSpeedTest2.txt";

// The drive text up to and including its first blank, with blanks trimmed from both
// ends: "c: [system]" gives "c:", "/home/lin/ [ext4, 9.1 GB 可用]" gives "/home/lin/", and
// a text without a blank gives the empty prefix (the process's current directory).
std::string targetPrefix(std::string_view driveText);

// The largest file of the fixed rows (one byte per write): the least a target must take.
inline constexpr std::uint64_t kLargestFixedFile = mostItems();

// The space a run always leaves free on its volume, whoever else writes there: a tenth
// of the volume, at most 1 GiB.
constexpr std::uint64_t reserveFor(std::uint64_t volumeBytes)
{
    constexpr std::uint64_t kMaxReserve = std::uint64_t{1} << 30;
    return volumeBytes / 10 < kMaxReserve ? volumeBytes / 10 : kMaxReserve;
}

// What a run needs available before it starts: its largest fixed file above the reserve.
constexpr std::uint64_t spaceNeededOn(std::uint64_t volumeBytes)
{
    return kLargestFixedFile + reserveFor(volumeBytes);
}

} // namespace quvo::bench
