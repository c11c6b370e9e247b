// SPDX-License-Identifier: MIT
// The measurement run on real directories: what it shows, what the test files hold
// after each row, and that it never leaves a file behind or touches one not its own.
#include "bench/measurement_run.h"

#include "bench/target.h"
#include "runtime/designation.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quvo::bench {
namespace {

namespace fs = std::filesystem;
using test::RecordingView;
using test::ScopedMount;
using test::StepClock;
using test::TempDir;

constexpr std::string_view kWaiting = "测试本地磁盘需要几分钟，请耐心等候... ";
constexpr std::string_view kCompleted = "本地磁盘测试完成";
constexpr std::string_view kStopped = "本地磁盘测试已中止";
constexpr std::uintmax_t kLineBytes = 1025;

std::string driveTextFor(const fs::path& directory)
{
    return runtime::designationFor(directory.string()) + " [test]";
}

std::vector<std::string> entries(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::uintmax_t sizeOr0(const fs::path& path)
{
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : size;
}

bool containsOnly(const fs::path& path, std::string_view pattern)
{
    const std::string content = test::readFile(path);
    for (std::size_t i = 0; i < content.size(); i += pattern.size())
        if (content.compare(i, pattern.size(), pattern) != 0)
            return false;
    return !content.empty();
}

// What the test files were at the first pump after a row was shown.
struct AfterRow {
    std::uintmax_t file1 = 0;
    std::uintmax_t file2 = 0;
    bool file1Exists = false;
    bool file2Exists = false;
    bool file1AllX = false;
    bool file1AllPayloadLines = false;
    bool file2SameAsFile1 = false;
    int pumps = 0;
};

class MeasurementRunTest : public ::testing::Test {
protected:
    // A run on directory whose steps the view records after each row.
    RunOutcome runIn(const fs::path& directory, double clockStep = 0.001)
    {
        view.drive = driveTextFor(directory);
        const fs::path file1 = directory / kTestFile1Name;
        const fs::path file2 = directory / kTestFile2Name;
        auto previous = view.onPump;
        view.onPump = [&, previous, file1, file2] {
            if (previous)
                previous();
            if (view.lastShownRow < 0)
                return;
            AfterRow& after = afterRow[static_cast<std::size_t>(view.lastShownRow)];
            if (after.pumps++ > 0)
                return;
            after.file1Exists = fs::exists(file1);
            after.file2Exists = fs::exists(file2);
            after.file1 = sizeOr0(file1);
            after.file2 = sizeOr0(file2);
            if (view.lastShownRow == 0 || view.lastShownRow == 2)
                after.file1AllX = containsOnly(file1, "X");
            if (view.lastShownRow == 4)
                after.file1AllPayloadLines = containsOnly(file1, std::string(1024, 'X') + "\n");
            if (view.lastShownRow == 7)
                after.file2SameAsFile1 = test::readFile(file1) == test::readFile(file2);
        };
        StepClock clock(clockStep);
        MeasurementRun run(view, clock, runtime::NumberSeparators{});
        return run.start();
    }

    int rowsShown() const
    {
        return static_cast<int>(
            std::count_if(view.results.begin(), view.results.end(), [](auto& r) { return !r.empty(); }));
    }

    RecordingView view;
    std::array<AfterRow, kRowCount> afterRow{};
};

TEST_F(MeasurementRunTest, ACompleteRunFillsEveryRowAndLeavesNoFile)
{
    TempDir dir("quvo 测试 dir");
    ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed);

    const std::string prefix = runtime::designationFor(dir.path().string());
    EXPECT_EQ(view.statuses, (std::vector<std::string>{std::string(kWaiting) + prefix, std::string(kCompleted)}));
    EXPECT_EQ(rowsShown(), kRowCount);
    EXPECT_TRUE(entries(dir.path()).empty());
    // Nine pumps while resetting, one after the waiting message, then each row's own.
    const int pumpsAfterRow[kRowCount] = {2, 1, 2, 2, 2, 1, 1, 1, 1};
    for (int row = 0; row < kRowCount; ++row)
        EXPECT_EQ(afterRow[row].pumps, pumpsAfterRow[row]) << "row " << row;
    EXPECT_EQ(view.pumps, 10 + 13);

    // What the test files hold after each row.
    EXPECT_EQ(afterRow[0].file1, 1'024'000u);
    EXPECT_TRUE(afterRow[0].file1AllX);
    EXPECT_EQ(afterRow[1].file1, 1'024'000u);
    EXPECT_EQ(afterRow[2].file1, 10'240'000u);
    EXPECT_TRUE(afterRow[2].file1AllX);
    EXPECT_EQ(afterRow[3].file1, 10'240'000u);
    const double sustainedLines = view.values[4] * 3;
    EXPECT_EQ(afterRow[4].file1, static_cast<std::uintmax_t>(std::lround(sustainedLines)) * kLineBytes);
    EXPECT_GT(sustainedLines, 1000);
    EXPECT_TRUE(afterRow[4].file1AllPayloadLines);
    for (int row = 0; row <= 6; ++row)
        EXPECT_FALSE(afterRow[row].file2Exists) << "row " << row;
    EXPECT_TRUE(afterRow[7].file2SameAsFile1);
    EXPECT_EQ(afterRow[7].file2, afterRow[4].file1);
    EXPECT_FALSE(afterRow[8].file1Exists);
    EXPECT_FALSE(afterRow[8].file2Exists);
}

TEST_F(MeasurementRunTest, LeftoverTestFilesOfOursAreReplacedAndRemoved)
{
    TempDir dir;
    test::writeFile(dir / "DriveSpeedTest.txt", "left over");
    test::writeFile(dir / "DriveSpeedTest2.txt", std::string(3 << 20, 'o'));
    ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed);
    EXPECT_EQ(afterRow[0].file1, 1'024'000u);
    EXPECT_TRUE(afterRow[6].file2Exists);
    EXPECT_EQ(afterRow[7].file2, afterRow[4].file1);
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST_F(MeasurementRunTest, AStartDuringARunIsIgnored)
{
    TempDir dir;
    StepClock clock(0.001);
    MeasurementRun run(view, clock, runtime::NumberSeparators{});
    std::vector<RunOutcome> nested;
    view.drive = driveTextFor(dir.path());
    view.onPump = [&] { nested.push_back(run.start()); };
    ASSERT_EQ(run.start(), RunOutcome::Completed);
    EXPECT_EQ(nested, std::vector<RunOutcome>(23, RunOutcome::Ignored));
    EXPECT_EQ(view.statuses.size(), 2u);
    EXPECT_FALSE(run.isRunning());
}

TEST_F(MeasurementRunTest, AStopAtAnyPumpEndsTheRunThereAndRemovesItsFiles)
{
    TempDir dir;
    for (int stopAt = 1; stopAt <= 23; ++stopAt) {
        view = RecordingView{};
        view.stopWhen = [&] { return view.pumps == stopAt; };
        EXPECT_EQ(runIn(dir.path()), RunOutcome::Stopped) << "pump " << stopAt;
        EXPECT_EQ(view.statuses.back(), kStopped) << "pump " << stopAt;
        EXPECT_EQ(view.pumps, stopAt);
        EXPECT_TRUE(entries(dir.path()).empty()) << "pump " << stopAt;
    }
}

// A target that the run must refuse or give up on, with the reason it must give.
struct Hostile {
    const char* name;
    std::function<fs::path(const fs::path&)> prepare; // returns the directory to run on
    const char* reason;
    int rowsShown;
    std::vector<std::string> leftInPlace; // names the run must not remove
};

TEST_F(MeasurementRunTest, AFailureStopsTheRunWithAClearMessageAndLeavesNoFileOfItsOwn)
{
    // A file-size limit fails the first write past 5 MB (row 2) with EFBIG, as a full
    // volume would with ENOSPC.
    const auto fileSizeLimit = [](rlim_t bytes) {
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const Hostile cases[] = {
        {"target directory missing", [](const fs::path& d) { return d / "missing"; }, "No such file or directory", 0,
            {}},
        {"link at test file 1",
            [](const fs::path& d) {
                test::writeFile(d / "outside", "x");
                fs::create_symlink(d / "outside", d / "DriveSpeedTest.txt");
                return d;
            },
            "不是普通文件", 0, {"DriveSpeedTest.txt", "outside"}},
        {"fifo at test file 2",
            [](const fs::path& d) {
                ::mkfifo((d / "DriveSpeedTest2.txt").c_str(), 0600);
                return d;
            },
            "不是普通文件", 0, {"DriveSpeedTest2.txt"}},
        {"directory at test file 1",
            [](const fs::path& d) {
                fs::create_directory(d / "DriveSpeedTest.txt");
                return d;
            },
            "不是普通文件", 0, {"DriveSpeedTest.txt"}},
        {"file size limit in row 2",
            [&](const fs::path& d) {
                fileSizeLimit(5'000'000);
                return d;
            },
            "File too large", 2, {}},
    };
    const auto ignoreFileSizeSignal = std::signal(SIGXFSZ, SIG_IGN);
    for (const Hostile& c : cases) {
        TempDir dir;
        view = RecordingView{};
        afterRow = {};
        const fs::path target = c.prepare(dir.path());
        EXPECT_EQ(runIn(target), RunOutcome::Failed) << c.name;
        fileSizeLimit(RLIM_INFINITY);
        EXPECT_TRUE(view.statuses.back().starts_with("本地磁盘测试失败：")) << c.name;
        EXPECT_NE(view.statuses.back().find(c.reason), std::string::npos) << c.name << ": " << view.statuses.back();
        EXPECT_EQ(rowsShown(), c.rowsShown) << c.name;
        EXPECT_EQ(entries(dir.path()), c.leftInPlace) << c.name;
    }
    std::signal(SIGXFSZ, ignoreFileSizeSignal);
}

class MountedTargetTest : public MeasurementRunTest {
protected:
    void SetUp() override
    {
        if (const std::string reason = test::mountSkipReason(); !reason.empty())
            GTEST_SKIP() << reason;
    }
};

TEST_F(MountedTargetTest, ATinyVolumeEndsTheSustainedWriteEarlyAndKeepsItsReserve)
{
    TempDir dir;
    const auto mount = ScopedMount::tmpfs(dir.path(), "16m");
    ASSERT_TRUE(mount.mounted()) << mount.error();
    const double reserve = 16.0 * (1 << 20) / 10;
    double leastFree = 1e18;
    view.onPump = [&] {
        struct statvfs vfs { };
        ::statvfs(dir.path().c_str(), &vfs);
        leastFree = std::min(leastFree, static_cast<double>(vfs.f_bavail) * vfs.f_frsize);
    };
    // 0.1 ms a reading: three seconds would be 30000 writes, twice what fits.
    ASSERT_EQ(runIn(dir.path(), 0.0001), RunOutcome::Completed) << view.statuses.back();
    const double lines = static_cast<double>(afterRow[4].file1) / kLineBytes;
    EXPECT_LT(lines, 15000);
    // Divided by the time the cut-short write lasted (one step per write and one for
    // the test that stopped it), not by 3.
    EXPECT_NEAR(view.values[4], lines / ((lines + 1) * 0.0001), 0.01);
    EXPECT_GE(leastFree, reserve);
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST_F(MountedTargetTest, AVolumeTooSmallForTheRunIsRefusedBeforeAnyWrite)
{
    TempDir dir;
    const auto mount = ScopedMount::tmpfs(dir.path(), "8m");
    ASSERT_TRUE(mount.mounted()) << mount.error();
    EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed);
    EXPECT_NE(view.statuses.back().find("磁盘可用空间不足"), std::string::npos) << view.statuses.back();
    EXPECT_EQ(rowsShown(), 0);
    EXPECT_TRUE(entries(dir.path()).empty());
}

TEST_F(MountedTargetTest, AReadOnlyTargetGivesAMessageAndNoNumbers)
{
    TempDir source;
    TempDir dir;
    const auto mount = ScopedMount::readOnlyBind(source.path(), dir.path());
    ASSERT_TRUE(mount.mounted() && mount.error().empty()) << mount.error();
    EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed);
    EXPECT_NE(view.statuses.back().find("Read-only file system"), std::string::npos) << view.statuses.back();
    EXPECT_EQ(rowsShown(), 0);
    EXPECT_TRUE(entries(source.path()).empty());
}

TEST_F(MountedTargetTest, AnotherUsersFileAtATestFileNameIsLeftUnchanged)
{
    TempDir dir;
    const fs::path theirs = dir / "DriveSpeedTest.txt";
    test::writeFile(theirs, "theirs");
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(runIn(dir.path()), RunOutcome::Failed);
    EXPECT_NE(view.statuses.back().find("属于其他用户"), std::string::npos) << view.statuses.back();
    EXPECT_EQ(test::readFile(theirs), "theirs");
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"DriveSpeedTest.txt"});
}

} // namespace
} // namespace quvo::bench
