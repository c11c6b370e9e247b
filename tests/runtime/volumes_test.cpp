// SPDX-License-Identifier: MIT
// On every system: the volume list holds the current directory's volume once, as the
// place a run there works, and a drive text says what its volume is.
#include "runtime/volumes.h"

#include "runtime/designation.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quvo::runtime {
namespace {

TEST(Volumes, DriveTextsNameTheLabelWhereThereIsOne)
{
    const std::string directory = currentDirectory();
    const std::string designation = designationFor(directory);
    const std::uint64_t total = std::uint64_t{100} << 30, available = (std::uint64_t{796} << 30) / 10;
    const Volume labelled{"C:\\", "NTFS", "C:\\", total, available, "系统"};
    const Volume bare{"/", "ext4", "/dev/sda1", total, available};
    EXPECT_EQ(driveText(directory, labelled), designation + " [系统, NTFS, 79.6 GB 可用]");
    EXPECT_EQ(driveText(directory, bare), designation + " [ext4, 79.6 GB 可用]");
    EXPECT_EQ(driveText(directory, "NTFS"), designation + " [NTFS]");
}

TEST(Volumes, TheCurrentDirectoryIsTheTargetOfItsOwnVolume)
{
    const std::string cwd = currentDirectory();
    const auto probes = probeVolumes(std::chrono::seconds(10));
    const auto holders = std::count_if(probes.begin(), probes.end(), [](auto& p) { return p.holdsCurrentDirectory; });
    EXPECT_EQ(holders, 1);
    for (const VolumeProbe& probe : probes) {
        EXPECT_TRUE(probe.answered) << probe.volume.mountPoint;
        EXPECT_GT(probe.volume.totalBytes, 0u) << probe.volume.mountPoint;
        if (probe.holdsCurrentDirectory) {
            EXPECT_EQ(probe.directory, cwd);
        }
    }
}

} // namespace
} // namespace quvo::runtime
