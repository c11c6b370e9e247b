// SPDX-License-Identifier: MIT
// How the drive list names a volume: its designation, then what the volume is.
#include "bench/drives.h"

#include "bench/wording.h"
#include "runtime/designation.h"

#include <gtest/gtest.h>

namespace quvo::bench {
namespace {

TEST(DriveText, SaysWhatTheVolumeIsAsFarAsItIsKnown)
{
    const std::string directory = runtime::currentDirectory();
    const std::string designation = runtime::designationFor(directory);
    const std::uint64_t total = std::uint64_t{100} << 30, available = (std::uint64_t{796} << 30) / 10;
    const runtime::Volume labelled{"C:\\", "NTFS", "C:\\", total, available, "系统"};
    const runtime::Volume bare{"/", "ext4", "/dev/sda1", total, available};
    const runtime::Volume nameless{"/", "", "/dev/sda1", total, available};
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } cases[] = {
        {"with a label", driveText(directory, labelled), designation + " [系统, NTFS, 79.6 GB 可用]"},
        {"without a label", driveText(directory, bare), designation + " [ext4, 79.6 GB 可用]"},
        {"not answered: the file system alone", driveText(directory, bare, false), designation + " [ext4]"},
        {"not even the file system known", driveText(directory, nameless, false), designation + " [未知]"},
        {"no volume at all", driveTextOf(directory, std::nullopt), designation + " [未知]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, c.expected) << c.name;
}

} // namespace
} // namespace quvo::bench
