// SPDX-License-Identifier: MIT
// The measurement run on real directories: what it shows, what the test files hold
// after each row, and that it leaves no file behind.
#include "bench/measurement_run.h"

#include "runtime/designation.h"
#include "tests/bench/run_fixture.h"
#include "tests/support/clocks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <zlib.h>

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

    const std::string prefix = runtime::designationFor(test::utf8(dir.path()));
    EXPECT_EQ(view.statuses, (std::vector<std::string>{std::string(kWaiting) + prefix, std::string(kCompleted)}));
    EXPECT_EQ(rowsShown(), kRowCount);
    EXPECT_TRUE(entries(dir.path()).empty());
    // Each row told as it starts; nine pumps while resetting, one after the waiting
    // message, then each row's own.
    EXPECT_EQ(view.rowsStarted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    for (int row = 0; row < kRowCount; ++row)
        EXPECT_EQ(afterRow[row].pumps, rowSpec(row).pumpsAfter) << "row " << row;
    EXPECT_EQ(view.pumps, pumpsPerRun());

    // What the test files hold after each row: a byte for every item written.
    const auto items = [](int row) { return static_cast<std::uintmax_t>(rowSpec(row).workload.times); };
    EXPECT_EQ(afterRow[0].file1, items(0));
    EXPECT_TRUE(afterRow[0].file1AllContent);
    EXPECT_EQ(afterRow[1].file1, items(0));
    EXPECT_EQ(afterRow[2].file1, items(2));
    EXPECT_TRUE(afterRow[2].file1AllContent);
    EXPECT_EQ(afterRow[3].file1, items(2));
    const double sustainedLines = lastRun.rows()[4].measured->value * 3;
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

// Row 4 notes the lines written by each quarter second at the first reading of the clock
// at or past it. A reading every 1/1024 s keeps every time exact: at reading n of the
// row (0 is its start), n - 1 lines are written.
TEST_F(MeasurementRunTest, TheSustainedWriteNotesHowFarItHadGotAtEveryQuarterSecond)
{
    constexpr double kTick = 1.0 / 1024;
    const struct {
        const char* name;
        std::vector<std::pair<int, double>> steps; // from this reading of the row on, this step
        std::vector<std::uint64_t> lines;
        bool dropped;
    } cases[] = {
        {"steady", {}, {255, 511, 767, 1023, 1279, 1535, 1791, 2047, 2303, 2559, 2815, 3071}, false},
        {"half as fast from 2 s", {{2049, 2 * kTick}},
            {255, 511, 767, 1023, 1279, 1535, 1791, 2047, 2175, 2303, 2431, 2559}, true},
        // Reading 300 comes half a second late, past 0.5 s and 0.75 s at once.
        {"stalled across two quarters", {{300, 512 * kTick}, {301, kTick}},
            {255, 299, 299, 512, 768, 1024, 1280, 1536, 1792, 2048, 2304, 2560}, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        view = {};
        int reading = 0;
        onClock = [&] {
            if (view.rowsStarted.empty() || view.rowsStarted.back() != rowOf(Action::SustainedWrite))
                return;
            for (const auto& [at, step] : c.steps)
                if (reading == at)
                    runClock->setStep(step);
            ++reading;
        };
        ASSERT_EQ(runIn(dir.path(), kTick), RunOutcome::Completed) << c.name;
        const Measurement& report = *lastRun.rows()[static_cast<std::size_t>(rowOf(Action::SustainedWrite))].measured;
        std::vector<std::uint64_t> bytes;
        for (const std::uint64_t lines : c.lines)
            bytes.push_back(lines * kLineBytes);
        const auto noted = report.progress.noted();
        EXPECT_EQ(std::vector<std::uint64_t>(noted.begin(), noted.end()), bytes) << c.name;
        EXPECT_EQ(report.bytes, bytes.back()) << c.name << ": the last note is at the window's end";
        EXPECT_EQ(droppedWithinWindow(noted), c.dropped) << c.name;
    }
    onClock = nullptr;
}

// Compressed as a file system compresses, in independent 128 KiB pieces: the share of
// the bytes that remains.
double compressedShare(const std::string& content)
{
    constexpr std::size_t kPiece = 128 << 10;
    std::vector<Bytef> out(compressBound(kPiece));
    std::uint64_t compressed = 0;
    for (std::size_t at = 0; at < content.size(); at += kPiece) {
        const std::size_t size = std::min(kPiece, content.size() - at);
        uLongf outSize = out.size();
        if (compress2(
                out.data(), &outSize, reinterpret_cast<const Bytef*>(content.data() + at), size, Z_BEST_COMPRESSION)
            != Z_OK)
            return 0;
        compressed += std::min<std::uint64_t>(outSize, size);
    }
    return static_cast<double>(compressed) / static_cast<double>(content.size());
}

// Nor keep once for several places: no 4 KiB block of the sustained write's file comes
// again, though the file is longer than the lines the content holds, which it repeats.
TEST_F(MeasurementRunTest, TheTestFilesHoldWhatNoFileSystemCanCompressOrStoreOnce)
{
    TempDir dir;
    std::array<double, kRowCount> share{};
    std::size_t distinctLines = 0;
    std::size_t blocks = 0;
    std::size_t distinctBlocks = 0;
    view.onPump = [&] {
        const int row = view.lastShownRow;
        if ((row != 2 && row != 4) || share[row] > 0)
            return;
        const std::string content = test::readFile(dir / "DriveSpeedTest.txt");
        share[row] = compressedShare(content);
        if (row == 4) {
            std::set<std::string_view> lines;
            for (std::size_t at = 0; at + kLineBytes <= std::min<std::size_t>(content.size(), 1 << 20);
                 at += kLineBytes)
                lines.insert(std::string_view(content).substr(at, kLineBytes));
            distinctLines = lines.size();
            constexpr std::size_t kBlock = 4096;
            std::set<std::string_view> seen;
            for (std::size_t at = 0; at + kBlock <= content.size(); at += kBlock)
                seen.insert(std::string_view(content).substr(at, kBlock));
            blocks = content.size() / kBlock;
            distinctBlocks = seen.size();
        }
    };
    // 15,000 lines: the ring of lines once and most of it again.
    ASSERT_EQ(runIn(dir.path(), /*clockStep=*/0.0002), RunOutcome::Completed) << view.statuses.back();
    EXPECT_GT(share[2], 0.95) << "the large file";
    EXPECT_GT(share[4], 0.95) << "the sustained write's file";
    // No two lines alike within the first MiB of the file.
    EXPECT_EQ(distinctLines, (std::size_t{1} << 20) / kLineBytes);
    EXPECT_GT(blocks * 4096, 3 * TestContent::kRingBytes / 2);
    EXPECT_EQ(distinctBlocks, blocks);
}

TEST_F(MeasurementRunTest, LeftoverTestFilesOfOursAreReplacedAndRemoved)
{
    TempDir dir;
    test::writeFile(dir / "DriveSpeedTest.txt", "left over");
    test::writeFile(dir / "DriveSpeedTest2.txt", std::string(3 << 20, 'o'));
    ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed);
    EXPECT_EQ(afterRow[0].file1, static_cast<std::uintmax_t>(rowSpec(0).workload.times));
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
    EXPECT_EQ(nested, std::vector<RunOutcome>(pumpsPerRun(), RunOutcome::Ignored));
    EXPECT_EQ(view.statuses.size(), 2u);
    EXPECT_FALSE(run.isRunning());
}

TEST_F(MeasurementRunTest, ASecondRunOnTheSameDirectoryIsRefusedAndTheFirstGoesOnUntouched)
{
    TempDir dir;
    RecordingView second;
    second.drive = driveTextFor(dir.path());
    std::vector<RunOutcome> secondOutcomes;
    view.onPump = [&] {
        if (view.lastShownRow == 4 || view.lastShownRow == 6) {
            StepClock clock(0.001);
            secondOutcomes.push_back(MeasurementRun(second, clock, runtime::NumberSeparators{}).start());
        }
    };
    ASSERT_EQ(runIn(dir.path()), RunOutcome::Completed) << view.statuses.back();
    ASSERT_EQ(secondOutcomes.size(), 3u); // two pumps after row 4, one after row 6
    for (const RunOutcome outcome : secondOutcomes)
        EXPECT_EQ(outcome, RunOutcome::Failed);
    EXPECT_NE(second.statuses.back().find("另一个测试正在使用该目录"), std::string::npos) << second.statuses.back();
    EXPECT_TRUE(std::all_of(second.results.begin(), second.results.end(), [](auto& r) { return r.empty(); }));
    // The first run read back, and copied, all it had written.
    EXPECT_EQ(afterRow[5].file1, afterRow[4].file1);
    EXPECT_EQ(afterRow[7].file2, afterRow[4].file1);
    EXPECT_TRUE(afterRow[7].file2SameAsFile1);
    EXPECT_TRUE(entries(dir.path()).empty());
}

// Wherever a stop comes (at a pump, as a row starts, in the middle of the sustained
// write, once the copy has made its file) and whatever the directory is called, the run
// ends there and removes every file it made: the drive list's escapes name nothing.
TEST_F(MeasurementRunTest, AStopAnywhereEndsTheRunThereAndLeavesNothingWhateverTheDirectoryIsCalled)
{
    struct StopPoint {
        std::string name;
        int pump = 0;         // asked after this pump
        int row = -1;         // or at this row's start time,
        int readingsInto = 0; // this many readings of the clock into it
    };
    std::vector<StopPoint> points;
    for (int pump = 1; pump <= pumpsPerRun(); ++pump)
        points.push_back({"pump " + std::to_string(pump), pump});
    for (int row = 0; row < kRowCount; ++row)
        points.push_back({"start of row " + std::to_string(row), 0, row});
    points.push_back({"inside the sustained write", 0, rowOf(Action::SustainedWrite), 1000});

    TempDir parent;
    for (const std::string& name : test::oddDirectoryNames()) {
        const fs::path dir = parent.path() / fs::path(std::u8string(name.begin(), name.end()));
        ASSERT_TRUE(fs::create_directory(dir)) << name;
        for (const StopPoint& at : points) {
            const std::string where = name + ", " + at.name;
            view = RecordingView{};
            view.stopWhen = [&] { return view.pumps == at.pump; };
            int readings = 0;
            onClock = [&] {
                if (at.row >= 0 && view.lastShownRow == at.row - 1 && !view.statuses.empty()
                    && readings++ == at.readingsInto)
                    view.stop->raise();
            };
            EXPECT_EQ(runIn(dir), RunOutcome::Stopped) << where;
            EXPECT_EQ(view.statuses.back(), kStopped) << where;
            EXPECT_EQ(at.pump > 0 ? view.pumps : rowsShown(), at.pump > 0 ? at.pump : at.row) << where;
            EXPECT_TRUE(entries(dir).empty()) << where;
        }
    }
    onClock = nullptr;
}

} // namespace
} // namespace quvo::bench
