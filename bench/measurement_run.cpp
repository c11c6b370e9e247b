// SPDX-License-Identifier: MIT
#include "bench/measurement_run.h"

#include "bench/kernels.h"
#include "bench/rows.h"
#include "bench/target.h"
#include "bench/test_content.h"
#include "bench/wording.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/file_ops.h"
#include "runtime/test_file.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace quvo::bench {
namespace {

// How long the clean-up tries again to remove a test file that another program holds
// without sharing its removal, and how long it waits between its tries: a few seconds,
// which a console closed during a run still leaves the program.
constexpr auto kRemovalPatience = std::chrono::seconds(3);
constexpr auto kRemovalPause = std::chrono::milliseconds(100);

static_assert(kLargestFixedFile <= TestContent::kBytes, "the content holds every one-byte item of a row");
// The longest line the run reads: the largest fixed file, written without a line end.
constexpr std::size_t kLongestLine = kLargestFixedFile;

// Why a run ended before its last row.
struct Halt {
    RunOutcome outcome;
    std::string message;
};
// What a step answers: nothing while the run goes on.
using Step = std::optional<Halt>;

// A stop requested in the middle of a row abandons it like one at a pump.
Halt failure(FileAction action, std::string_view what, const std::error_code& error)
{
    if (error == runtime::Errc::stopped)
        return {RunOutcome::Stopped, std::string(kStoppedText)};
    return {RunOutcome::Failed, failureText(action, what, error)};
}

// Whether the file at path is seen gone from the system's cache; nothing where the
// system cannot tell.
std::optional<bool> seenDropped(const runtime::SystemPath& path)
{
    const auto cached = runtime::cachedPagesOf(path);
    return cached ? std::optional<bool>(!*cached) : std::nullopt;
}

Halt spaceShortage(std::uint64_t needed, std::uint64_t available)
{
    return {RunOutcome::Failed, spaceShortageText(needed, available)};
}

WindowProgress progressOf(const SustainedWindow& window)
{
    WindowProgress progress;
    progress.quarters = window.quarters;
    for (std::size_t i = 0; i < progress.noted().size(); ++i)
        progress.bytesAt[i] = static_cast<std::uint64_t>(window.linesAt[i]) * kLineBytes;
    return progress;
}

// One run: its working values and its steps, in the order they run.
class Pass {
public:
    Pass(RunView& view, RunRecord& record, runtime::Clock& clock, ResultRows& rows)
        : view_(view)
        , record_(record)
        , clock_(clock)
        , rows_(rows)
        , stop_(view.stopFlag())
    {
    }

    Step measure();
    // Removes what the run may have left; says what could not be removed.
    std::string removeTestFiles();
    // The status line, in the view and in the record.
    void setStatus(const std::string& text);

private:
    // Built afresh for every use, as each open, lookup, copy and delete names its file.
    runtime::SystemPath testFile1() const { return directory_ + kTestFile1Name; }
    runtime::SystemPath testFile2() const { return directory_ + kTestFile2Name; }

    bool stopRequested() const { return stop_.raised(); }
    Step pump(int times);
    Step prepare();
    runtime::Result<std::uint64_t> lookAtFreeSpace(std::uint64_t lines);
    Step measureRow(int row);
    Step writeItemsRow(int row, int writes);
    Step readLinesRow(int row);
    Step sustainedWrite(int row, double seconds);
    Step endAtQuota(int row, const SustainedWindow& window);
    Step readBack(int row);
    Step lookUps(int row, int rounds);
    Step lookUp(const runtime::SystemPath& path);
    Step copy(int row);
    Step deleteBoth(int row);
    Step readLines(const runtime::SystemPath& path, int& count, runtime::ReadMode mode);
    void tellWritePath(int row, runtime::DataPath path, const runtime::SystemPath& written);
    void tellReadPath(int row);
    void tellPath(int row, runtime::DataPath path, std::optional<bool> droppedFromCache);

    RunView& view_;
    RunRecord& record_;
    runtime::Clock& clock_;
    ResultRows& rows_;
    const runtime::StopFlag& stop_;
    // Held from before the first check to after the last file is removed.
    runtime::DirectoryLock lock_;
    // File number 1: the one file the run opens, always test file 1, within one row.
    runtime::TestFile file_;
    TestContent content_;
    std::string prefix_;
    // The directory the prefix names, as the system takes it: the test files are in it.
    runtime::SystemPath directory_;
    // Room for a line that runs past a block, the longest one the run reads; what a line
    // holds is never looked at.
    std::string line_;
    std::uint64_t reserve_ = 0;
    // The sustained write's file: the most lines it may grow to, and why.
    std::uint64_t sustainedLineLimit_ = 0;
    CutShort sustainedCap_ = CutShort::No; // what ends the window if the limit is reached
    std::uint64_t file1Bytes_ = 0;         // what the last write left in test file 1
    // Whether the last write of test file 1 was seen gone from the cache after it.
    std::optional<bool> file1Dropped_;
    bool memory_ = false; // the volume's medium is memory
    bool mayHaveWritten_ = false;
};

void Pass::setStatus(const std::string& text)
{
    record_.setStatusText(text);
    view_.setStatusText(text);
}

Step Pass::measure()
{
    for (int row = 0; row < kRowCount; ++row) {
        rows_.reset(row);
        if (auto halt = pump(1))
            return halt;
    }
    // The drive measured is the one read here; the record is of it.
    const std::string driveText = view_.driveText();
    record_.start(driveText);
    prefix_ = targetPrefix(driveText);
    directory_ = runtime::directoryNamedBy(prefix_);
    setStatus(std::string(kWaitingText) + prefix_);
    if (auto halt = pump(1))
        return halt;
    if (auto halt = prepare())
        return halt;

    mayHaveWritten_ = true;
    for (int row = 0; row < kRowCount; ++row)
        if (auto halt = measureRow(row))
            return halt;
    setStatus(std::string(kCompletedText));
    return std::nullopt;
}

Step Pass::pump(int times)
{
    for (int i = 0; i < times; ++i) {
        view_.pumpEvents();
        if (stopRequested())
            return Halt{RunOutcome::Stopped, std::string(kStoppedText)};
    }
    return std::nullopt;
}

// Before anything is written: the directory must be ours alone, both names free or
// holding our own regular files, and the volume must take the run's files with the
// reserve to spare.
Step Pass::prepare()
{
    const runtime::SystemPath path = testFile1();
    const runtime::SystemPath directory = runtime::parentDirectory(path);
    auto lock = runtime::lockDirectory(directory);
    if (!lock && lock.error() == runtime::Errc::directoryInUse)
        return Halt{RunOutcome::Failed, directoryInUseText(directory.text())};
    if (!lock)
        return failure(FileAction::Lock, directory.text(), lock.error());
    lock_ = std::move(*lock);
    record_.setLocked(lock_.guards());

    for (const runtime::SystemPath& name : {testFile1(), testFile2()})
        if (auto error = runtime::checkReplaceableFile(name))
            return failure(FileAction::Check, name.text(), error);

    const auto space = runtime::spaceFor(path);
    if (!space)
        return failure(FileAction::Check, path.text(), space.error());
    reserve_ = reserveFor(space->totalBytes);
    // A stack that ends in memory (zram, a loop file on a tmpfs) is memory as a tmpfs is;
    // the rows are held against the link of the disk beneath.
    runtime::Storage storage = runtime::storageOf(directory);
    memory_ = space->memory || storage.memory;
    record_.setStorage(std::move(storage));
    if (space->availableBytes < spaceNeededOn(space->totalBytes))
        return spaceShortage(spaceNeededOn(space->totalBytes), space->availableBytes);
    const std::uint64_t largestFile = runtime::largestFileIn(directory);
    if (largestFile < kLargestFixedFile)
        return Halt{RunOutcome::Failed, fileTooLargeText(largestFile, kLargestFixedFile)};
    sustainedLineLimit_ = largestFile / kLineBytes;
    sustainedCap_ = CutShort::FileSizeLimit;

    // Memory is made ready before anything is timed, every page touched, so that no row
    // pays for it: the content, the block the test file is written and read through,
    // and a line buffer that holds the longest line without growing.
    if (auto error = content_.prepare(std::random_device{}()))
        return failure(FileAction::Prepare, path.text(), error);
    if (auto error = file_.reserve())
        return failure(FileAction::Prepare, path.text(), error);
    file_.watch(&stop_);
    line_.reserve(kLongestLine);
    runtime::populate(line_.data(), kLongestLine);
    line_.resize(kLongestLine);
    return std::nullopt;
}

// Looks at the free space with `lines` of the sustained write's file written, and
// lowers its line limit where the file and the copy of it would otherwise cut into the
// reserve: the file's own lines beyond those it has, and all of its lines again for
// the copy, must fit in what lies above the reserve, in whole blocks. Gives the line
// count at which to look again, which is the limit itself once the loop must not go on.
runtime::Result<std::uint64_t> Pass::lookAtFreeSpace(std::uint64_t lines)
{
    const auto space = runtime::spaceFor(testFile1());
    if (!space)
        return space.error();
    // What the file already holds on the volume, less a block that may still be in
    // memory.
    const std::uint64_t written = lines * kLineBytes;
    const std::uint64_t stored = written > runtime::TestFile::kBlockSize ? written - runtime::TestFile::kBlockSize : 0;
    const std::uint64_t above = space->availableBytes > reserve_ ? space->availableBytes - reserve_ + stored : stored;
    const std::uint64_t fileBytes = above / 2 / space->blockBytes * space->blockBytes;
    if (fileBytes / kLineBytes < sustainedLineLimit_) {
        sustainedLineLimit_ = fileBytes / kLineBytes;
        sustainedCap_ = CutShort::Space;
    }
    return std::min(sustainedLineLimit_, lines + runtime::spaceCheckInterval(reserve_) / kLineBytes);
}

// The row's work, told to the view as it starts, then the events let through.
Step Pass::measureRow(int row)
{
    const Workload& work = rowSpec(row).workload;
    view_.rowStarted(row);
    Step halt;
    switch (work.action) {
    case Action::WriteItems: halt = writeItemsRow(row, work.times); break;
    case Action::ReadLines: halt = readLinesRow(row); break;
    case Action::SustainedWrite: halt = sustainedWrite(row, work.seconds); break;
    case Action::ReadBack: halt = readBack(row); break;
    case Action::LookUps: halt = lookUps(row, work.times); break;
    case Action::Copy: halt = copy(row); break;
    case Action::Delete: halt = deleteBoth(row); break;
    }
    if (halt)
        return halt;
    return pump(rowSpec(row).pumpsAfter);
}

Step Pass::writeItemsRow(int row, int writes)
{
    const double start = clock_.seconds();
    const runtime::SystemPath path = testFile1();
    if (auto error = file_.openForOutput(path))
        return failure(FileAction::Create, path.text(), error);
    if (auto error = writeItems(file_, content_.bytes(), writes))
        return failure(FileAction::Write, path.text(), error);
    if (auto error = file_.close())
        return failure(FileAction::Write, path.text(), error);
    file1Bytes_ = static_cast<std::uint64_t>(writes);
    rows_.showElapsed(row, start, file1Bytes_);
    tellWritePath(row, *file_.lastPath(), path);
    return std::nullopt;
}

// To the end of the file, line by line, counting.
Step Pass::readLines(const runtime::SystemPath& path, int& count, runtime::ReadMode mode)
{
    if (auto error = file_.openForInput(path, mode))
        return failure(FileAction::Open, path.text(), error);
    std::string_view line;
    if (auto error = readLinesToEnd(file_, line_, count, line))
        return failure(FileAction::Read, path.text(), error);
    if (auto error = file_.close())
        return failure(FileAction::Read, path.text(), error);
    return std::nullopt;
}

Step Pass::readLinesRow(int row)
{
    const double start = clock_.seconds();
    int lines = 0;
    if (auto halt = readLines(testFile1(), lines, runtime::ReadMode::Buffered))
        return halt;
    rows_.showElapsed(row, start, file1Bytes_);
    tellReadPath(row);
    return std::nullopt;
}

// The window lasts `seconds` unless the file reaches its limit first: one cut short
// that way is measured by the time it really lasted. The first look at the free space
// is taken before the start time, so that none falls inside the window before its
// first write. Rows 0 and 2 are done with the content, which row 4 writes laid out as
// lines.
Step Pass::sustainedWrite(int row, double seconds)
{
    const runtime::SystemPath path = testFile1();
    content_.layOutLines();
    const auto room = lookAtFreeSpace(0);
    if (!room)
        return failure(FileAction::Check, path.text(), room.error());
    const double start = clock_.seconds();
    if (auto error = file_.openForOutput(path, runtime::WriteMode::Streaming))
        return failure(FileAction::Create, path.text(), error);
    const SustainedWindow window = writeLinesFor(
        file_, content_, clock_, start, seconds, *room, [this](std::uint64_t lines) { return lookAtFreeSpace(lines); });
    if (window.lookError)
        return failure(FileAction::Check, path.text(), window.lookError);
    if (window.writeError && runtime::quotaExceeded(window.writeError))
        return endAtQuota(row, window);
    if (window.writeError)
        return failure(FileAction::Write, path.text(), window.writeError);
    if (auto error = file_.close())
        return failure(FileAction::Write, path.text(), error);
    file1Bytes_ = static_cast<std::uint64_t>(window.lines) * kLineBytes;
    rows_.showFixedRate(row, window.lines, window.seconds, file1Bytes_, window.cutShort ? sustainedCap_ : CutShort::No,
        progressOf(window));
    tellWritePath(row, *file_.lastPath(), path);
    return std::nullopt;
}

// A quota the free space did not foretell ends the window where it refused a write:
// the figure counts the lines the device took by then. The read-back and the copy need
// a file that leaves room for its copy within the quota, and one at its quota cannot
// even be shortened (btrfs refuses the truncation), though it can be removed: it goes,
// and its first lines, at most half of what the quota took, are written again, after
// the row is shown and before the next is timed.
Step Pass::endAtQuota(int row, const SustainedWindow& window)
{
    const runtime::SystemPath path = testFile1();
    const auto written = file_.writtenOut();
    if (!written)
        return failure(FileAction::Write, path.text(), written.error());
    file_.abandon();
    if (auto error = runtime::removeOwnFile(path))
        return failure(FileAction::Delete, path.text(), error);
    const std::uint64_t lines = *written / kLineBytes;
    rows_.showFixedRate(
        row, static_cast<int>(lines), window.seconds, lines * kLineBytes, CutShort::Quota, progressOf(window));

    const std::uint64_t half = *written / 2;
    const std::uint64_t kept = (half - std::min(half, std::uint64_t{runtime::TestFile::kBlockSize})) / kLineBytes;
    if (auto error = file_.openForOutput(path, runtime::WriteMode::Streaming))
        return failure(FileAction::Create, path.text(), error);
    LineWriter writer(file_, content_);
    for (std::uint64_t line = 0; line < kept; ++line)
        if (auto error = writer.writeLine())
            return failure(FileAction::Write, path.text(), error);
    if (auto error = writer.finish())
        return failure(FileAction::Write, path.text(), error);
    if (auto error = file_.close())
        return failure(FileAction::Write, path.text(), error);
    file1Bytes_ = kept * kLineBytes;
    tellWritePath(row, *file_.lastPath(), path);
    return std::nullopt;
}

Step Pass::readBack(int row)
{
    int count = 0;
    const double start = clock_.seconds();
    // Streamed as it was written: the rate counts what the device delivers.
    if (auto halt = readLines(testFile1(), count, runtime::ReadMode::Streaming))
        return halt;
    rows_.showRate(row, count, start, file1Bytes_);
    tellReadPath(row);
    return std::nullopt;
}

Step Pass::lookUp(const runtime::SystemPath& path)
{
    if (auto found = runtime::lookUpFile(path); !found)
        return failure(FileAction::LookUp, path.text(), found.error());
    return std::nullopt;
}

Step Pass::lookUps(int row, int rounds)
{
    const double start = clock_.seconds();
    for (int i = 1; i <= rounds; ++i) {
        if (stopRequested()) [[unlikely]]
            return failure(FileAction::LookUp, testFile1().text(), runtime::Errc::stopped);
        if (auto halt = lookUp(testFile1()))
            return halt;
        if (auto halt = lookUp(testFile2()))
            return halt;
    }
    rows_.showElapsed(row, start);
    return std::nullopt;
}

// The copy takes as much again as the sustained write's file: where someone else has
// taken the room for it meanwhile, the run stops rather than cut into the reserve.
Step Pass::copy(int row)
{
    const std::uint64_t needed = reserve_ + file1Bytes_;
    const auto space = runtime::spaceFor(testFile2());
    if (!space)
        return failure(FileAction::Check, testFile2().text(), space.error());
    if (space->availableBytes < needed)
        return spaceShortage(needed, space->availableBytes);

    // A source the read-back left in the cache would be copied from memory.
    const std::optional<bool> sourceCached = runtime::cachedPagesOf(testFile1());
    const double start = clock_.seconds();
    const runtime::SystemPath source = testFile1();
    const runtime::SystemPath destination = testFile2();
    runtime::DataPath wentBy = runtime::DataPath::Direct;
    if (auto error
        = runtime::copyFile(source, destination, {.stop = &stop_, .keepFree = reserve_, .wentBy = &wentBy})) {
        if (error != runtime::Errc::reserveReached)
            return failure(FileAction::Copy, copiedText(source.text(), destination.text()), error);
        const auto now = runtime::spaceFor(destination);
        return spaceShortage(needed, now ? now->availableBytes : 0);
    }
    rows_.showElapsed(row, start, file1Bytes_);
    const std::optional<bool> destinationDropped
        = wentBy == runtime::DataPath::Direct ? std::nullopt : seenDropped(destination);
    tellPath(row, wentBy, sourceCached == true ? std::optional<bool>(false) : destinationDropped);
    return std::nullopt;
}

Step Pass::deleteBoth(int row)
{
    const double start = clock_.seconds();
    if (stopRequested())
        return failure(FileAction::Delete, testFile1().text(), runtime::Errc::stopped);
    const runtime::SystemPath path1 = testFile1();
    if (auto error = runtime::removeOwnedFile(path1))
        return failure(FileAction::Delete, path1.text(), error);
    const runtime::SystemPath path2 = testFile2();
    if (stopRequested())
        return failure(FileAction::Delete, path2.text(), runtime::Errc::stopped);
    if (auto error = runtime::removeOwnedFile(path2))
        return failure(FileAction::Delete, path2.text(), error);
    rows_.showElapsed(row, start);
    return std::nullopt;
}

// After the row is shown, so that the look at the cache is not timed. A file that went
// direct left nothing to drop.
void Pass::tellWritePath(int row, runtime::DataPath path, const runtime::SystemPath& written)
{
    file1Dropped_ = path == runtime::DataPath::Direct ? std::nullopt : seenDropped(written);
    tellPath(row, path, file1Dropped_);
}

// A read through the cache met the device as far as its writer's drop emptied the cache.
void Pass::tellReadPath(int row)
{
    const runtime::DataPath path = *file_.lastPath();
    tellPath(row, path, path == runtime::DataPath::Direct ? std::nullopt : file1Dropped_);
}

// On a memory medium the cache is the medium: there is nothing to drop.
void Pass::tellPath(int row, runtime::DataPath path, std::optional<bool> droppedFromCache)
{
    if (memory_) {
        path = runtime::DataPath::Memory;
        droppedFromCache.reset();
    }
    record_.setPath(row, path, droppedFromCache);
    view_.rowChanged(row);
}

std::string Pass::removeTestFiles()
{
    file_.abandon();
    if (!mayHaveWritten_)
        return {};
    // Every file the run created or emptied goes, whatever has become of it; what was
    // never the run's stays, and is not the run's to report. A file another program
    // holds is tried again until it lets go, for a while.
    const auto giveUp = std::chrono::steady_clock::now() + kRemovalPatience;
    std::string remaining;
    for (const runtime::SystemPath& path : {testFile1(), testFile2()}) {
        std::error_code error = runtime::removeOwnFile(path);
        while (error && runtime::heldByAnotherProgram(error) && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(kRemovalPause);
            error = runtime::removeOwnFile(path);
        }
        if (error)
            remaining += fileLeftText(path.text(), error);
    }
    return remaining;
}

} // namespace

MeasurementRun::MeasurementRun(RunView& view, runtime::Clock& clock, runtime::NumberSeparators separators)
    : view_(view)
    , clock_(clock)
    , rows_(view, record_, clock, std::move(separators))
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

    Pass pass(view_, record_, clock_, rows_);
    Step halt = pass.measure();
    if (!halt)
        return RunOutcome::Completed;
    pass.setStatus(halt->message + pass.removeTestFiles());
    return halt->outcome;
}

} // namespace quvo::bench
