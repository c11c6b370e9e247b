// SPDX-License-Identifier: MIT
// Where a run writes: the target prefix taken from the drive text, and the test files.
#pragma once

#include <string>
#include <string_view>

namespace quvo::bench {

inline constexpr std::string_view kTestFile1Name = "DriveSpeedTest.txt";
inline constexpr std::string_view kTestFile2Name = "DriveSpeedTest2.txt";

// The drive text up to and including its first blank, with blanks trimmed from both
// ends: "c: [system]" gives "c:", "/home/lin/ [ext4, 9.1 GB 可用]" gives "/home/lin/", and
// a text without a blank gives the empty prefix (the process's current directory).
std::string targetPrefix(std::string_view driveText);

} // namespace quvo::bench
