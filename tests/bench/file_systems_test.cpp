// SPDX-License-Identifier: MIT
// Complete runs on the file systems users have, each on a disk of its own (a loop
// device): the run completes and leaves nothing, and the disk takes at least the bytes
// the sustained write and the copy claim, also where the file system compresses.
#include "bench/measurement_run.h"

#include "tests/bench/run_fixture.h"
#include "tests/support/mounts.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace quvo::bench {
namespace {

namespace fs = std::filesystem;
using test::ScopedLoopMount;
using test::TempDir;

struct FileSystemCase {
    const char* id;
    ScopedLoopMount::Setup setup;
};

void PrintTo(const FileSystemCase& c, std::ostream* out)
{
    *out << c.id;
}

class FileSystemTest : public RunFixture, public ::testing::WithParamInterface<FileSystemCase> { };

TEST_P(FileSystemTest, TakesTheBytesTheRunClaims)
{
    TempDir dir;
    const ScopedLoopMount disk(GetParam().setup, dir.path());
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    // What the disk was asked to write by the first pump after each row.
    std::array<std::uint64_t, kRowCount> written{};
    view.onPump = [&] {
        const int row = view.lastShownRow;
        if (row >= 0 && written[static_cast<std::size_t>(row)] == 0)
            written[static_cast<std::size_t>(row)] = disk.bytesWritten();
    };
    // 0.1 ms a reading: the sustained write is 30000 lines, 30 MB.
    ASSERT_EQ(runIn(dir.path(), 0.0001), RunOutcome::Completed) << view.statuses.back();
    for (const auto& name : entries(dir.path()))
        EXPECT_FALSE(name.starts_with("DriveSpeedTest")) << name << " left";
    EXPECT_GT(afterRow[4].file1, 20'000'000u);
    const double sustained = static_cast<double>(written[4] - written[3]) / static_cast<double>(afterRow[4].file1);
    const double copy = static_cast<double>(written[7] - written[6]) / static_cast<double>(afterRow[7].file2);
    EXPECT_GE(sustained, 0.9) << "the sustained write";
    EXPECT_GE(copy, 0.9) << "the copy";
    std::printf("the disk took %.3f of the sustained write's bytes, %.3f of the copy's\n", sustained, copy);
}

INSTANTIATE_TEST_SUITE_P(OnALoopDisk, FileSystemTest,
    ::testing::Values(FileSystemCase{"Ext4On4096ByteSectors", {.fileSystem = "ext4", .sectorBytes = 4096}},
        FileSystemCase{"Xfs", {.fileSystem = "xfs"}}, FileSystemCase{"Btrfs", {.fileSystem = "btrfs"}},
        FileSystemCase{"BtrfsCompressingEverything", {.fileSystem = "btrfs", .mountOptions = "compress-force=zstd"}}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
} // namespace quvo::bench
