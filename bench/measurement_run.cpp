// SPDX-License-Identifier: MIT
#include "bench/measurement_run.h"

#include "bench/target.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/file_ops.h"
#include "runtime/numbered_files.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace quvo::bench {
namespace {

constexpr std::string_view kWaitingText = "测试本地磁盘需要几分钟，请耐心等候... ";
constexpr std::string_view kCompletedText = "本地磁盘测试完成";
constexpr std::string_view kFailedText = "本地磁盘测试失败：";
constexpr std::string_view kStoppedText = "本地磁盘测试已中止";

// The run never has more than one file open, always under this number.
constexpr int kFileNumber = 1;

constexpr int kPayloadBytes = 1024;
constexpr int kSmallFileWrites = 1'024'000;
constexpr int kLargeFileWrites = 10'240'000;
constexpr double kSustainedSeconds = 3.0;
constexpr int kLookupRounds = 10'000;

// One payload and its line end: the sustained write's unit, one kilobyte of data.
constexpr std::uint64_t kLineBytes = kPayloadBytes + runtime::NumberedFiles::kLineEnd.size();
// The largest file of the fixed rows, one byte per write.
constexpr std::uint64_t kLargestFixedFile = kLargeFileWrites;
// The longest line the run reads: that same file, written without a line end.
constexpr std::size_t kLongestLine = kLargeFileWrites;
// The space a run always leaves free: this, or a tenth of a smaller volume.
constexpr std::uint64_t kMaxReserve = std::uint64_t{1} << 30;

// Rows 0 and 2: "X" as a write item, writes times. A function of its own, so that the
// compiler keeps its counter in a register rather than beside the run's working values.
std::error_code writeItems(runtime::NumberedFiles& files, int writes)
{
    for (int i = 1; i <= writes; ++i)
        if (auto error = files.writeItem(kFileNumber, "X")) [[unlikely]]
            return error;
    return {};
}

// Why a run ended before its last row.
struct Halt {
    RunOutcome outcome;
    std::string message;
};
// What a step answers: nothing while the run goes on.
using Step = std::optional<Halt>;

// A path text as the user knows the file.
std::string shown(std::string_view pathText)
{
    return runtime::fileSystemPath(pathText);
}

Halt failure(std::string_view action, std::string_view what, const std::error_code& error)
{
    return {RunOutcome::Failed,
        std::string(kFailedText) + std::string(action) + " " + std::string(what) + " 时出错（" + error.message()
            + "）"};
}

// One run: its working values and its steps, in the order they run.
class Pass {
public:
    Pass(RunView& view, runtime::Clock& clock, ResultRows& rows)
        : view_(view)
        , clock_(clock)
        , rows_(rows)
    {
    }

    Step measure();
    // Removes what the run may have left; says what could not be removed.
    std::string removeTestFiles();

private:
    // Built afresh for every use, as each open, lookup, copy and delete names its file.
    std::string testFile1() const { return prefix_ + std::string(kTestFile1Name); }
    std::string testFile2() const { return prefix_ + std::string(kTestFile2Name); }

    Step pump(int times);
    Step prepare();
    Step writeRepeated(int row, int writes, int pumps);
    Step readToEnd(int row, int pumps);
    Step sustainedWrite();
    Step readBack();
    Step lookUps();
    Step lookUp(const std::string& path);
    Step copy();
    Step deleteBoth();
    Step readLines(const std::string& path, int& count, runtime::ReadMode mode = runtime::ReadMode::Buffered);

    RunView& view_;
    runtime::Clock& clock_;
    ResultRows& rows_;
    runtime::NumberedFiles files_;
    std::string payload_;
    std::string prefix_;
    std::string line_; // receives each line read; never looked at
    std::uint64_t sustainedLineLimit_ = 0;
    bool mayHaveWritten_ = false;
};

Step Pass::measure()
{
    for (int row = 0; row < kRowCount; ++row) {
        rows_.reset(row);
        if (auto halt = pump(1))
            return halt;
    }
    payload_.assign(kPayloadBytes, 'X');
    prefix_ = targetPrefix(view_.driveText());
    view_.setStatusText(std::string(kWaitingText) + prefix_);
    if (auto halt = pump(1))
        return halt;
    if (auto halt = prepare())
        return halt;

    mayHaveWritten_ = true;
    Step halt = writeRepeated(0, kSmallFileWrites, 2);
    if (!halt)
        halt = readToEnd(1, 1);
    if (!halt)
        halt = writeRepeated(2, kLargeFileWrites, 2);
    if (!halt)
        halt = readToEnd(3, 2);
    if (!halt)
        halt = sustainedWrite();
    if (!halt)
        halt = readBack();
    if (!halt)
        halt = lookUps();
    if (!halt)
        halt = copy();
    if (!halt)
        halt = deleteBoth();
    if (halt)
        return halt;
    view_.setStatusText(kCompletedText);
    return std::nullopt;
}

Step Pass::pump(int times)
{
    for (int i = 0; i < times; ++i) {
        view_.pumpEvents();
        if (view_.stopRequested())
            return Halt{RunOutcome::Stopped, std::string(kStoppedText)};
    }
    return std::nullopt;
}

// Before anything is written: both names must be free or hold our own regular files,
// and the volume must take the run's files with the reserve to spare.
Step Pass::prepare()
{
    for (const std::string& path : {testFile1(), testFile2()})
        if (auto error = runtime::checkReplaceable(path))
            return failure("检查", shown(path), error);

    const std::string path = testFile1();
    const auto space = runtime::spaceFor(path);
    if (!space)
        return failure("检查", shown(path), space.error());
    const std::uint64_t reserve = std::min(kMaxReserve, space->totalBytes / 10);
    const std::uint64_t needed = kLargestFixedFile + reserve;
    if (space->availableBytes < needed)
        return Halt{RunOutcome::Failed,
            std::string(kFailedText) + "磁盘可用空间不足（需要 " + runtime::formatSize(needed) + "，现有 "
                + runtime::formatSize(space->availableBytes) + "）"};
    // The sustained write's file and its row-7 copy share what lies above the reserve,
    // each taking whole blocks.
    const std::uint64_t blocksPerFile = (space->availableBytes - reserve) / 2 / space->blockBytes;
    sustainedLineLimit_ = blocksPerFile * space->blockBytes / kLineBytes;

    // Memory is made ready before anything is timed, every page touched, so that no row
    // pays for it: the block the test file is written and read through, and a line
    // buffer that holds the longest line without growing.
    if (auto error = files_.reserve(kFileNumber))
        return failure("准备", shown(path), error);
    line_.resize(kLongestLine);
    line_.clear();
    return std::nullopt;
}

Step Pass::writeRepeated(int row, int writes, int pumps)
{
    const double start = clock_.seconds();
    const std::string path = testFile1();
    if (auto error = files_.openForOutput(kFileNumber, path))
        return failure("创建", shown(path), error);
    if (auto error = writeItems(files_, writes))
        return failure("写入", shown(path), error);
    if (auto error = files_.close(kFileNumber))
        return failure("写入", shown(path), error);
    rows_.showElapsed(row, start);
    return pump(pumps);
}

// To the end of the file, line by line; a failing open or end test ends the step
// instead of looping on it.
Step Pass::readLines(const std::string& path, int& count, runtime::ReadMode mode)
{
    if (auto error = files_.openForInput(kFileNumber, path, mode))
        return failure("打开", shown(path), error);
    for (;;) {
        const auto atEnd = files_.atEnd(kFileNumber);
        if (!atEnd)
            return failure("读取", shown(path), atEnd.error());
        if (*atEnd)
            break;
        if (auto error = files_.readLine(kFileNumber, line_))
            return failure("读取", shown(path), error);
        ++count;
    }
    if (auto error = files_.close(kFileNumber))
        return failure("读取", shown(path), error);
    return std::nullopt;
}

Step Pass::readToEnd(int row, int pumps)
{
    const double start = clock_.seconds();
    int lines = 0;
    if (auto halt = readLines(testFile1(), lines))
        return halt;
    rows_.showElapsed(row, start);
    return pump(pumps);
}

Step Pass::sustainedWrite()
{
    int count = 0;
    const double start = clock_.seconds();
    const std::string path = testFile1();
    if (auto error = files_.openForOutput(kFileNumber, path, runtime::WriteMode::Streaming))
        return failure("创建", shown(path), error);
    // The loop always ends on a clock test, never on a write. A window cut short to
    // keep the reserve free is measured by the time it really lasted.
    double seconds = kSustainedSeconds;
    for (;;) {
        const double elapsed = clock_.seconds() - start;
        if (elapsed >= kSustainedSeconds)
            break;
        if (static_cast<std::uint64_t>(count) >= sustainedLineLimit_) {
            seconds = elapsed;
            break;
        }
        if (auto error = files_.writeLine(kFileNumber, payload_))
            return failure("写入", shown(path), error);
        ++count;
    }
    if (auto error = files_.close(kFileNumber))
        return failure("写入", shown(path), error);
    rows_.showFixedRate(4, count, seconds);
    return pump(2);
}

Step Pass::readBack()
{
    int count = 0;
    const double start = clock_.seconds();
    // Streamed as it was written: the rate counts what the device delivers.
    if (auto halt = readLines(testFile1(), count, runtime::ReadMode::Streaming))
        return halt;
    rows_.showRate(5, count, start);
    return pump(1);
}

Step Pass::lookUp(const std::string& path)
{
    if (auto found = runtime::lookUpFile(path); !found)
        return failure("查找", shown(path), found.error());
    return std::nullopt;
}

Step Pass::lookUps()
{
    const double start = clock_.seconds();
    for (int i = 1; i <= kLookupRounds; ++i) {
        if (auto halt = lookUp(testFile1()))
            return halt;
        if (auto halt = lookUp(testFile2()))
            return halt;
    }
    rows_.showElapsed(6, start);
    return pump(1);
}

Step Pass::copy()
{
    const double start = clock_.seconds();
    const std::string source = testFile1();
    const std::string destination = testFile2();
    if (auto error = runtime::copyFile(source, destination))
        return failure("复制", shown(source) + " 到 " + shown(destination), error);
    rows_.showElapsed(7, start);
    return pump(1);
}

Step Pass::deleteBoth()
{
    const double start = clock_.seconds();
    const std::string path1 = testFile1();
    if (auto error = runtime::deleteFile(path1))
        return failure("删除", shown(path1), error);
    const std::string path2 = testFile2();
    if (auto error = runtime::deleteFile(path2))
        return failure("删除", shown(path2), error);
    rows_.showElapsed(8, start);
    return pump(1);
}

std::string Pass::removeTestFiles()
{
    files_.abandonAll();
    if (!mayHaveWritten_)
        return {};
    std::string remaining;
    for (const std::string& path : {testFile1(), testFile2()}) {
        const auto error = runtime::deleteFile(path);
        // Gone already, or never ours: nothing of the run's is left at that name.
        if (!error || error == std::errc::no_such_file_or_directory || error == runtime::Errc::notRegularFile
            || error == runtime::Errc::ownedByOtherUser)
            continue;
        remaining += "；测试文件未能删除：" + shown(path) + "（" + error.message() + "）";
    }
    return remaining;
}

} // namespace

MeasurementRun::MeasurementRun(RunView& view, runtime::Clock& clock, runtime::NumberSeparators separators)
    : view_(view)
    , clock_(clock)
    , rows_(view, clock, std::move(separators))
{
}

RunOutcome MeasurementRun::start()
{
    if (running_)
        return RunOutcome::Ignored;
    running_ = true;
    struct ClearOnExit {
        bool& flag;
        ~ClearOnExit() { flag = false; }
    } clear{running_};

    Pass pass(view_, clock_, rows_);
    Step halt = pass.measure();
    if (!halt)
        return RunOutcome::Completed;
    view_.setStatusText(halt->message + pass.removeTestFiles());
    return halt->outcome;
}

} // namespace quvo::bench
