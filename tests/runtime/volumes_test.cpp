// SPDX-License-Identifier: MIT
// On every system: the volume list holds the current directory's volume once, as the
// place a run there works.
#include "runtime/volumes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quvo::runtime {
namespace {

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
