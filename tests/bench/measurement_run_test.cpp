// SPDX-License-Identifier: MIT
// The measurement run on real directories: what it shows, what the test files hold
// after each row, and that it leaves no file behind.
#include "bench/measurement_run.h"

#include "runtime/designation.h"
#include "tests/bench/run_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quvo::bench {
namespace {

namespace fs = std::filesystem;
using test::RecordingView;
using test::StepClock;
using test::TempDir;

constexpr std::string_view kWaiting = "测试本地磁盘需要几分钟，请耐心等候... ";
constexpr std::string_view kCompleted = "本地磁盘测试完成";
constexpr std::string_view kStopped = "本地磁盘测试已中止";

class MeasurementRunTest : public RunFixture { };

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
    view.drive = runtime::designationFor(dir.path().string()) + " [test]";
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

} // namespace
} // namespace quvo::bench
