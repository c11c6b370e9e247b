// SPDX-License-Identifier: MIT
// On every system: the volume list holds the current directory's volume once, as the
// place a run there works; and the most each link carries.
#include "runtime/links.h"
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

// Bytes a second, from each standard's signalling rate and line code: USB 2.0 and below
// have no code to take off (480 Mb/s: 60 MB/s); rates no generation has carry nothing
// this program can vouch for.
TEST(Links, CarryTheirRateLessTheirLineCodeTimesTheirLanes)
{
    const struct {
        LinkKind kind;
        LinkRate rate;
        std::optional<std::uint64_t> ceiling;
    } cases[] = {
        {LinkKind::Usb, {12, 1}, 1'500'000},
        {LinkKind::Usb, {480, 1}, 60'000'000},
        {LinkKind::Usb, {5000, 1}, 500'000'000},
        {LinkKind::Usb, {10000, 1}, 1'212'121'212},
        {LinkKind::Usb, {20000, 1}, 2'424'242'424},
        {LinkKind::Sata, {1500, 1}, 150'000'000},
        {LinkKind::Sata, {3000, 1}, 300'000'000},
        {LinkKind::Sata, {6000, 1}, 600'000'000},
        {LinkKind::Pcie, {2500, 1}, 250'000'000},
        {LinkKind::Pcie, {5000, 4}, 2'000'000'000},
        {LinkKind::Pcie, {8000, 2}, 1'969'230'768},
        {LinkKind::Pcie, {16000, 4}, 7'876'923'076},
        {LinkKind::Pcie, {32000, 4}, 15'753'846'152},
        {LinkKind::Pcie, {64000, 16}, 118'000'000'000},
        {LinkKind::Usb, {1, 1}, std::nullopt},
        {LinkKind::Sata, {480, 1}, std::nullopt},
        {LinkKind::Pcie, {8000, 0}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ceilingOf(c.kind, c.rate), c.ceiling)
            << static_cast<int>(c.kind) << " " << c.rate.megabits << " x" << c.rate.lanes;
}

} // namespace
} // namespace quvo::runtime
