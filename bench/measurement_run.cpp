// SPDX-License-Identifier: MIT
#include "bench/measurement_run.h"

#include "bench/target.h"
#include "bench/test_content.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/file_ops.h"
#include "runtime/numbered_files.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
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

constexpr int kSmallFileWrites = 1'024'000;
constexpr int kLargeFileWrites = 10'240'000;
constexpr double kSustainedSeconds = 3.0;
constexpr int kLookupRounds = 10'000;

// One payload and its line end: the sustained write's unit, one kilobyte of data.
constexpr std::uint64_t kLineBytes = TestContent::kPayloadBytes + runtime::NumberedFiles::kLineEnd.size();
static_assert(kLargestFixedFile == kLargeFileWrites && kLargeFileWrites <= TestContent::kBytes);
// The longest line the run reads: the largest fixed file, written without a line end.
constexpr std::size_t kLongestLine = kLargeFileWrites;

// Rows 0 and 2: one character of the content as a write item, writes times. A function
// of its own, so that the compiler keeps its counter and the writer's cursor in
// registers rather than beside the run's working values.
std::error_code writeItems(runtime::NumberedFiles& files, const char* characters, int writes)
{
    runtime::NumberedFiles::ItemWriter file(files, kFileNumber);
    for (int i = 1; i <= writes; ++i)
        if (auto error = file.writeItem({characters + i - 1, 1})) [[unlikely]]
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

// Why a file operation failed, for the status line: the runtime's own refusals in the
// window's language, the system's reasons as the system words them.
std::string reasonFor(const std::error_code& error)
{
    if (error.category() != runtime::runtimeCategory())
        return error.message();
    switch (static_cast<runtime::Errc>(error.value())) {
    case runtime::Errc::badFileNumber: return "文件号无效";
    case runtime::Errc::fileNumberInUse: return "文件号已被占用";
    case runtime::Errc::fileNotOpen: return "文件未打开";
    case runtime::Errc::pastEndOfFile: return "已读到文件末尾";
    case runtime::Errc::notRegularFile: return "该名称已被目录、链接或设备等占用，不是普通文件";
    case runtime::Errc::ownedByOtherUser: return "该文件属于其他用户";
    case runtime::Errc::replacedWhileOpening: return "打开时该文件被替换";
    case runtime::Errc::hasOtherLinks: return "该文件还有其他硬链接，清空它会改动别处的文件";
    case runtime::Errc::directoryInUse: return "该目录中另一个测试正在运行";
    case runtime::Errc::stopped: return "已请求中止";
    case runtime::Errc::reserveReached: return "再写下去会占用磁盘必须保留的可用空间";
    case runtime::Errc::designationElsewhere: return "驱动器号指向的不是这个目录，测试文件会写到别处";
    }
    return error.message();
}

// A stop requested in the middle of a row abandons it like one at a pump.
Halt failure(std::string_view action, std::string_view what, const std::error_code& error)
{
    if (error == runtime::Errc::stopped)
        return {RunOutcome::Stopped, std::string(kStoppedText)};
    return {RunOutcome::Failed,
        std::string(kFailedText) + std::string(action) + " " + std::string(what) + " 时出错（" + reasonFor(error)
            + "）"};
}

Halt spaceShortage(std::uint64_t needed, std::uint64_t available)
{
    return {RunOutcome::Failed,
        std::string(kFailedText) + "磁盘可用空间不足（需要 " + runtime::formatSize(needed) + "，现有 "
            + runtime::formatSize(available) + "）"};
}

// One run: its working values and its steps, in the order they run.
class Pass {
public:
    Pass(RunView& view, runtime::Clock& clock, ResultRows& rows)
        : view_(view)
        , clock_(clock)
        , rows_(rows)
        , stop_(view.stopFlag())
    {
    }

    Step measure();
    // Removes what the run may have left; says what could not be removed.
    std::string removeTestFiles();

private:
    // Built afresh for every use, as each open, lookup, copy and delete names its file.
    std::string testFile1() const { return prefix_ + std::string(kTestFile1Name); }
    std::string testFile2() const { return prefix_ + std::string(kTestFile2Name); }

    bool stopRequested() const { return stop_ != nullptr && stop_->raised(); }
    Step pump(int times);
    Step prepare();
    runtime::Result<std::uint64_t> sustainedPause(std::uint64_t lines);
    Step writeRepeated(int row, int writes, int pumps);
    Step readToEnd(int row, std::uint64_t bytes, int pumps);
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
    const runtime::StopFlag* stop_;
    // Held from before the first check to after the last file is removed.
    runtime::DirectoryLock lock_;
    runtime::NumberedFiles files_;
    TestContent content_;
    std::string prefix_;
    std::string line_; // receives each line read; never looked at
    std::uint64_t reserve_ = 0;
    // The sustained write's file: the most lines it may grow to, and why.
    std::uint64_t sustainedLineLimit_ = 0;
    CutShort sustainedCap_ = CutShort::No; // what ends the window if the limit is reached
    std::uint64_t sustainedBytes_ = 0;
    bool mayHaveWritten_ = false;
};

Step Pass::measure()
{
    for (int row = 0; row < kRowCount; ++row) {
        rows_.reset(row);
        if (auto halt = pump(1))
            return halt;
    }
    prefix_ = targetPrefix(view_.driveText());
    view_.setStatusText(std::string(kWaitingText) + prefix_);
    if (auto halt = pump(1))
        return halt;
    if (auto halt = prepare())
        return halt;

    mayHaveWritten_ = true;
    Step halt = writeRepeated(0, kSmallFileWrites, 2);
    if (!halt)
        halt = readToEnd(1, kSmallFileWrites, 1);
    if (!halt)
        halt = writeRepeated(2, kLargeFileWrites, 2);
    if (!halt)
        halt = readToEnd(3, kLargeFileWrites, 2);
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

// Before anything is written: the directory must be ours alone, both names free or
// holding our own regular files, and the volume must take the run's files with the
// reserve to spare.
Step Pass::prepare()
{
    const std::string path = testFile1();
    const std::string directory = runtime::directoryOf(path);
    auto lock = runtime::lockDirectory(directory);
    if (!lock && lock.error() == runtime::Errc::directoryInUse)
        return Halt{RunOutcome::Failed,
            std::string(kFailedText) + "另一个测试正在使用该目录（" + directory + "），请等它结束后再试"};
    if (!lock)
        return failure("锁定", directory, lock.error());
    lock_ = std::move(*lock);

    for (const std::string& name : {testFile1(), testFile2()})
        if (auto error = runtime::checkReplaceable(name))
            return failure("检查", shown(name), error);

    const auto space = runtime::spaceFor(path);
    if (!space)
        return failure("检查", shown(path), space.error());
    reserve_ = reserveFor(space->totalBytes);
    if (space->availableBytes < spaceNeededOn(space->totalBytes))
        return spaceShortage(spaceNeededOn(space->totalBytes), space->availableBytes);
    const std::uint64_t largestFile = runtime::largestFileIn(directory);
    if (largestFile < kLargestFixedFile)
        return Halt{RunOutcome::Failed,
            std::string(kFailedText) + "该处单个文件不能超过 " + runtime::formatSize(largestFile) + "，放不下 "
                + runtime::formatSize(kLargestFixedFile) + " 的测试文件"};
    sustainedLineLimit_ = largestFile / kLineBytes;
    sustainedCap_ = CutShort::FileSizeLimit;
    if (auto pause = sustainedPause(0); !pause)
        return failure("检查", shown(path), pause.error());

    // Memory is made ready before anything is timed, every page touched, so that no row
    // pays for it: the content, the block the test file is written and read through,
    // and a line buffer that holds the longest line without growing.
    if (auto error = content_.prepare(std::random_device{}()))
        return failure("准备", shown(path), error);
    if (auto error = files_.reserve(kFileNumber))
        return failure("准备", shown(path), error);
    files_.watch(stop_);
    line_.resize(kLongestLine);
    line_.clear();
    return std::nullopt;
}

// Looks at the free space now and lowers the sustained write's line limit where its
// file and the copy of it would otherwise cut into the reserve: the file's own lines
// beyond those it has, and all of its lines again for the copy, must fit in what lies
// above the reserve, in whole blocks. Gives the line count at which to look again,
// which is the limit itself once the loop must not go on.
runtime::Result<std::uint64_t> Pass::sustainedPause(std::uint64_t lines)
{
    const auto space = runtime::spaceFor(testFile1());
    if (!space)
        return space.error();
    // What the file already holds on the volume, less a block that may still be in
    // memory.
    const std::uint64_t written = lines * kLineBytes;
    const std::uint64_t stored
        = written > runtime::NumberedFiles::kBlockSize ? written - runtime::NumberedFiles::kBlockSize : 0;
    const std::uint64_t above = space->availableBytes > reserve_ ? space->availableBytes - reserve_ + stored : stored;
    const std::uint64_t fileBytes = above / 2 / space->blockBytes * space->blockBytes;
    if (fileBytes / kLineBytes < sustainedLineLimit_) {
        sustainedLineLimit_ = fileBytes / kLineBytes;
        sustainedCap_ = CutShort::Space;
    }
    return std::min(sustainedLineLimit_, lines + runtime::spaceCheckInterval(reserve_) / kLineBytes);
}

Step Pass::writeRepeated(int row, int writes, int pumps)
{
    const double start = clock_.seconds();
    const std::string path = testFile1();
    if (auto error = files_.openForOutput(kFileNumber, path))
        return failure("创建", shown(path), error);
    if (auto error = writeItems(files_, content_.bytes(), writes))
        return failure("写入", shown(path), error);
    if (auto error = files_.close(kFileNumber))
        return failure("写入", shown(path), error);
    rows_.showElapsed(row, start, static_cast<std::uint64_t>(writes));
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

// bytes: what the file holds, as the row before wrote it.
Step Pass::readToEnd(int row, std::uint64_t bytes, int pumps)
{
    const double start = clock_.seconds();
    int lines = 0;
    if (auto halt = readLines(testFile1(), lines))
        return halt;
    rows_.showElapsed(row, start, bytes);
    return pump(pumps);
}

Step Pass::sustainedWrite()
{
    int count = 0;
    const double start = clock_.seconds();
    const std::string path = testFile1();
    if (auto error = files_.openForOutput(kFileNumber, path, runtime::WriteMode::Streaming))
        return failure("创建", shown(path), error);
    // The loop always ends on a clock test, never on a write, unless the file reaches
    // its limit: a window cut short that way is measured by the time it really lasted.
    double seconds = kSustainedSeconds;
    CutShort cut = CutShort::No;
    std::uint64_t pause = 0;
    for (;;) {
        const double elapsed = clock_.seconds() - start;
        if (elapsed >= kSustainedSeconds)
            break;
        if (static_cast<std::uint64_t>(count) >= pause) {
            auto next = sustainedPause(static_cast<std::uint64_t>(count));
            if (!next)
                return failure("检查", shown(path), next.error());
            pause = *next;
            if (static_cast<std::uint64_t>(count) >= pause) {
                seconds = elapsed;
                cut = sustainedCap_;
                break;
            }
        }
        if (auto error = files_.writeLine(kFileNumber, content_.payload(static_cast<std::uint64_t>(count))))
            return failure("写入", shown(path), error);
        ++count;
    }
    if (auto error = files_.close(kFileNumber))
        return failure("写入", shown(path), error);
    sustainedBytes_ = static_cast<std::uint64_t>(count) * kLineBytes;
    rows_.showFixedRate(4, count, seconds, sustainedBytes_, cut);
    return pump(2);
}

Step Pass::readBack()
{
    int count = 0;
    const double start = clock_.seconds();
    // Streamed as it was written: the rate counts what the device delivers.
    if (auto halt = readLines(testFile1(), count, runtime::ReadMode::Streaming))
        return halt;
    rows_.showRate(5, count, start, sustainedBytes_);
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
        if (stopRequested()) [[unlikely]]
            return failure("查找", shown(testFile1()), runtime::Errc::stopped);
        if (auto halt = lookUp(testFile1()))
            return halt;
        if (auto halt = lookUp(testFile2()))
            return halt;
    }
    rows_.showElapsed(6, start);
    return pump(1);
}

// The copy takes as much again as the sustained write's file: where someone else has
// taken the room for it meanwhile, the run stops rather than cut into the reserve.
Step Pass::copy()
{
    const std::uint64_t needed = reserve_ + sustainedBytes_;
    const auto space = runtime::spaceFor(testFile2());
    if (!space)
        return failure("检查", shown(testFile2()), space.error());
    if (space->availableBytes < needed)
        return spaceShortage(needed, space->availableBytes);

    const double start = clock_.seconds();
    const std::string source = testFile1();
    const std::string destination = testFile2();
    if (auto error = runtime::copyFile(source, destination, {.stop = stop_, .keepFree = reserve_})) {
        if (error != runtime::Errc::reserveReached)
            return failure("复制", shown(source) + " 到 " + shown(destination), error);
        const auto now = runtime::spaceFor(destination);
        return spaceShortage(needed, now ? now->availableBytes : 0);
    }
    rows_.showElapsed(7, start, sustainedBytes_);
    return pump(1);
}

Step Pass::deleteBoth()
{
    const double start = clock_.seconds();
    if (stopRequested())
        return failure("删除", shown(testFile1()), runtime::Errc::stopped);
    const std::string path1 = testFile1();
    if (auto error = runtime::deleteFile(path1))
        return failure("删除", shown(path1), error);
    const std::string path2 = testFile2();
    if (stopRequested())
        return failure("删除", shown(path2), runtime::Errc::stopped);
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
    // Every file the run created or emptied goes, whatever has become of it; what was
    // never the run's stays, and is not the run's to report.
    std::string remaining;
    for (const std::string& path : {testFile1(), testFile2()})
        if (const auto error = runtime::removeOwnFile(path))
            remaining += "；测试文件未能删除：" + shown(path) + "（" + reasonFor(error) + "）";
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
