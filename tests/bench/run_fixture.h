// SPDX-License-Identifier: MIT
// Runs the measurement run on a real directory and records, at the first pump after
// each row, what the test files held.
#pragma once

#include "bench/kernels.h"
#include "bench/measurement_run.h"
#include "bench/target.h"
#include "bench/test_content.h"
#include "runtime/designation.h"
#include "tests/support/clocks.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quvo::bench {

inline std::vector<std::string> entries(const std::filesystem::path& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The drive text of a run in directory. A drive letter names its drive's current
// directory, so on Windows directory becomes that (TempDir steps out of it again).
inline std::string driveTextFor(const std::filesystem::path& directory)
{
    const std::string text = test::utf8(directory);
    EXPECT_FALSE(runtime::designateDirectory(text)) << text;
    return runtime::designationFor(text) + " [test]";
}

// What the test files were at the first pump after a row was shown.
struct AfterRow {
    std::uintmax_t file1 = 0;
    std::uintmax_t file2 = 0;
    bool file1Exists = false;
    bool file2Exists = false;
    bool file1AllContent = false;      // content bytes only, no line end
    bool file1AllPayloadLines = false; // lines of 1024 content bytes
    bool file2SameAsFile1 = false;
    int pumps = 0;
};

class RunFixture : public ::testing::Test {
protected:
    // A run on directory, its rows recorded afresh, with a clock that advances by clockStep at every reading.
    RunOutcome runIn(const std::filesystem::path& directory, double clockStep = 0.001)
    {
        afterRow = {};
        view.drive = driveTextFor(directory);
        // The names users find in the directory.
        const auto file1 = directory / "DriveSpeedTest.txt";
        const auto file2 = directory / "DriveSpeedTest2.txt";
        auto previous = view.onPump;
        view.onPump = [this, previous, file1, file2] {
            if (view.lastShownRow >= 0)
                record(afterRow[static_cast<std::size_t>(view.lastShownRow)], view.lastShownRow, file1, file2);
            if (previous)
                previous();
        };
        test::StepClock clock(clockStep);
        clock.onReading = [this] {
            if (onClock)
                onClock();
        };
        MeasurementRun run(view, clock, runtime::NumberSeparators{});
        runClock = &clock;
        const RunOutcome outcome = run.start();
        runClock = nullptr;
        lastRun = run.lastRun();
        return outcome;
    }

    int rowsShown() const
    {
        return static_cast<int>(
            std::count_if(view.results.begin(), view.results.end(), [](auto& r) { return !r.empty(); }));
    }

    test::RecordingView view;
    std::array<AfterRow, kRowCount> afterRow{}; // of the last run
    // The last run's record, once it has ended.
    RunRecord lastRun;
    // Called at every reading of the run's clock, before it answers.
    std::function<void()> onClock;
    // The run's clock, while it runs: onClock may change its step.
    test::StepClock* runClock = nullptr;

private:
    static bool allContent(std::string_view bytes)
    {
        return std::all_of(
            bytes.begin(), bytes.end(), [](char c) { return isContentByte(static_cast<unsigned char>(c)); });
    }

    static bool allPayloadLines(const std::string& content)
    {
        constexpr std::size_t kLine = kLineBytes;
        if (content.empty() || content.size() % kLine != 0)
            return false;
        for (std::size_t i = 0; i < content.size(); i += kLine)
            if (content[i + kLine - 1] != '\n' || !allContent(std::string_view(content).substr(i, kLine - 1)))
                return false;
        return true;
    }

    static void record(AfterRow& after, int row, const std::filesystem::path& file1, const std::filesystem::path& file2)
    {
        if (after.pumps++ > 0)
            return;
        std::error_code error;
        after.file1Exists = std::filesystem::exists(file1, error);
        after.file2Exists = std::filesystem::exists(file2, error);
        after.file1 = after.file1Exists ? std::filesystem::file_size(file1, error) : 0;
        after.file2 = after.file2Exists ? std::filesystem::file_size(file2, error) : 0;
        if (row == 0 || row == 2) {
            const std::string content = test::readFile(file1);
            after.file1AllContent = !content.empty() && allContent(content);
        }
        if (row == 4)
            after.file1AllPayloadLines = allPayloadLines(test::readFile(file1));
        if (row == 7)
            after.file2SameAsFile1 = test::readFile(file1) == test::readFile(file2);
    }
};

} // namespace quvo::bench
