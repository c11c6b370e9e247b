// SPDX-License-Identifier: MIT
// quvo-diskspeed-benchmarks: the run's hot paths beside the tightest plain loops that do
// the same work. "rowN_…/ours" opens and closes through the runtime as the run does
// and calls the run's own inner loop (bench/kernels.h) between; "rowN_…/reference" is
// the loop it is held against. Both are timed from
// before the open to after the close, in a directory whose medium costs almost nothing
// (scratch_directory.h), so a pair's ratio is the cost the tool adds. Before every
// timed pass, untimed, both sides find the test file as the run's previous row leaves
// it (absent, or just written). Each side checks that it did the whole work (the
// file's size, the bytes and lines seen), and the program fails when one did not.
//
// Rows 4 and 5 are also timed over the null file layer ("…/null_layer"), which takes
// every block and does nothing: the same test file, open, loop and close as the run's,
// apart from any medium, so what is left is the tool's own work. Beside them,
// "…/clock_only" is row 4's bound as the row is defined: a loop that reads the clock
// before each line and does nothing else.
//
// Usage: quvo-diskspeed-benchmarks [--directory=DIR] [Google Benchmark flags]
#include "bench/kernels.h"
#include "bench/rows.h"
#include "bench/target.h"
#include "bench/test_content.h"
#include "benchmarks/scratch_directory.h"
#include "runtime/clock.h"
#include "runtime/designation.h"
#include "runtime/file_ops.h"
#include "runtime/number_format.h"
#include "runtime/test_file.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quvo::benchmarks {
namespace {

using SteadyTime = std::chrono::steady_clock;

constexpr int kSmallFileWrites = bench::rowSpec(0).workload.times;
constexpr int kLargeFileWrites = bench::rowSpec(2).workload.times;
constexpr int kLookupRounds = bench::rowSpec(bench::rowOf(bench::Action::LookUps)).workload.times;
// 64 MiB of payload lines: long enough that opening and closing vanish in it.
constexpr int kPayloadLines = 65'536;
// The sustained write's window; never reached by kPayloadLines on a fast medium, but
// tested before every line as the run tests it.
constexpr double kSustainedSeconds = bench::rowSpec(bench::rowOf(bench::Action::SustainedWrite)).workload.seconds;
constexpr std::size_t kBlockSize = runtime::TestFile::kBlockSize;

int failures = 0;
// The directory the scratch directory's designation names, as the run derives it.
runtime::SystemPath directory;

void fail(benchmark::State& state, const std::string& what)
{
    ++failures;
    state.SkipWithError(what.c_str());
}

double secondsSince(SteadyTime::time_point start)
{
    return std::chrono::duration<double>(SteadyTime::now() - start).count();
}

// Built as the run builds its test files' paths: afresh, from the directory its prefix
// names and the name.
runtime::SystemPath testFile(std::string_view name)
{
    return directory + name;
}

std::string nativePath(std::string_view name)
{
    return testFile(name).text();
}

// Leaves the directory as it was found, however a benchmark ends.
struct TestFilesRemoved {
    TestFilesRemoved() = default;
    TestFilesRemoved(const TestFilesRemoved&) = delete;
    TestFilesRemoved& operator=(const TestFilesRemoved&) = delete;
    ~TestFilesRemoved()
    {
        ::unlink(nativePath(bench::kTestFile1Name).c_str());
        ::unlink(nativePath(bench::kTestFile2Name).c_str());
    }
};

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// What the run's close does with a written file, in the plainest calls.
bool forceDropAndClose(int fd)
{
    const bool forced = ::fdatasync(fd) == 0;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    return ::close(fd) == 0 && forced;
}

bool hasSize(const std::string& path, std::uint64_t size)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) == size;
}

// The bytes the run writes, drawn once; both sides of every pair write these.
const bench::TestContent& testContent()
{
    static bench::TestContent prepared;
    static const bool ready = !prepared.prepare(/*seed=*/1);
    if (!ready)
        throw std::bad_alloc();
    return prepared;
}

// The same laid out as row 4's lines, as the run lays its content out after row 2.
bench::TestContent& lineContent()
{
    static bench::TestContent prepared;
    static const bool ready = [] {
        if (prepared.prepare(/*seed=*/1))
            return false;
        prepared.layOutLines();
        return true;
    }();
    if (!ready)
        throw std::bad_alloc();
    return prepared;
}

// Row 4's file from its start: the content's ring of lines, repeated.
std::string_view linesFrom(std::uint64_t at, std::uint64_t bytes)
{
    const auto start = static_cast<std::size_t>(at % bench::TestContent::kRingBytes);
    return {lineContent().lines() + start, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, kBlockSize))};
}

// A payload for the reference loops: 1024 bytes of the content.
std::string_view payload(std::uint64_t line)
{
    constexpr std::uint64_t kPayloads = bench::TestContent::kBytes / bench::TestContent::kPayloadBytes;
    return {testContent().bytes() + line % kPayloads * bench::TestContent::kPayloadBytes,
        bench::TestContent::kPayloadBytes};
}

// The clock as the run reaches it: through the interface, which the compiler cannot see
// past to the steady clock behind it.
runtime::Clock& runClock()
{
    static runtime::SteadyClock steady;
    runtime::Clock* clock = &steady;
    benchmark::DoNotOptimize(clock);
    return *clock;
}

// The test file as a row of the run leaves it: characters of the content, or payload
// lines.
struct FileContent {
    bool lines;                // payload lines, else single characters
    std::uint64_t count;       // characters or lines
    int linesRead;             // as the run reads them
    std::size_t lastLineBytes; // without its line end

    std::uint64_t bytes() const { return lines ? count * bench::kLineBytes : count; }
    std::uint64_t lineEnds() const { return lines ? count : 0; }
};

const FileContent kSmallFile{false, kSmallFileWrites, 1, kSmallFileWrites};
const FileContent kLargeFile{false, kLargeFileWrites, 1, kLargeFileWrites};
const FileContent kPayloadFile{true, kPayloadLines, kPayloadLines, bench::TestContent::kPayloadBytes};

// What a row finds before it: nothing (null), or the file the previous row just wrote.
struct Row {
    const FileContent* before;
    const FileContent* content; // what the row writes or reads
    runtime::ReadMode mode = runtime::ReadMode::Buffered;
};
const Row kRow0{nullptr, &kSmallFile};
const Row kRow1{&kSmallFile, &kSmallFile};
const Row kRow2{&kSmallFile, &kLargeFile};
const Row kRow3{&kLargeFile, &kLargeFile};
const Row kRow4{&kLargeFile, &kPayloadFile};
const Row kRow5{&kPayloadFile, &kPayloadFile, runtime::ReadMode::Streaming};

bool createFile(const std::string& path, const FileContent* content)
{
    if (content == nullptr)
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    if (!content->lines) {
        ok = writeAll(fd, testContent().bytes(), content->count);
    } else {
        for (std::uint64_t at = 0; at < content->bytes() && ok; at += kBlockSize) {
            const std::string_view lines = linesFrom(at, content->bytes() - at);
            ok = writeAll(fd, lines.data(), lines.size());
        }
    }
    return ::close(fd) == 0 && ok;
}

// A block for the reference loops, aligned for direct I/O and touched once so that no
// first-use page faults fall inside their timing (ours keeps its block the same way).
struct FreeBlock {
    void operator()(char* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, FreeBlock>;

Block touchedBlock()
{
    Block block(static_cast<char*>(std::aligned_alloc(runtime::kDirectIoAlignment, kBlockSize)));
    if (!block)
        throw std::bad_alloc();
    std::memset(block.get(), 0, kBlockSize);
    return block;
}

// Rows 0 and 2: writes single-character items, close included.
void writeItemsOurs(benchmark::State& state, const Row* row)
{
    const TestFilesRemoved removed;
    const runtime::SystemPath path = testFile(bench::kTestFile1Name);
    const auto writes = static_cast<int>(row->content->count);
    const char* const characters = testContent().bytes();
    runtime::TestFile file;
    (void)file.reserve();
    for (auto _ : state) {
        if (!createFile(path.text(), row->before))
            return fail(state, "cannot leave the file as the previous row does");
        const auto start = SteadyTime::now();
        if (auto error = file.openForOutput(path))
            return fail(state, "open: " + error.message());
        if (auto error = bench::writeItems(file, characters, writes))
            return fail(state, "write: " + error.message());
        if (auto error = file.close())
            return fail(state, "close: " + error.message());
        state.SetIterationTime(secondsSince(start));
    }
    if (!hasSize(nativePath(bench::kTestFile1Name), static_cast<std::uint64_t>(writes)))
        fail(state, "the file does not hold every item");
    state.SetItemsProcessed(state.iterations() * writes);
}

// Appends one byte to a buffer, writes whole buffers, then closes as the run's files
// close: forced to the medium, dropped from the cache.
void appendBytesReference(benchmark::State& state, const Row* row)
{
    const TestFilesRemoved removed;
    const std::string path = nativePath(bench::kTestFile1Name);
    const auto writes = static_cast<int>(row->content->count);
    const char* const characters = testContent().bytes();
    const auto block = touchedBlock();
    for (auto _ : state) {
        if (!createFile(path, row->before))
            return fail(state, "cannot leave the file as the previous row does");
        const auto start = SteadyTime::now();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(state, "open failed");
        std::size_t used = 0;
        bool ok = true;
        for (int i = 1; i <= writes; ++i) {
            block.get()[used++] = characters[i - 1];
            if (used == kBlockSize) {
                ok = writeAll(fd, block.get(), used) && ok;
                used = 0;
            }
        }
        ok = writeAll(fd, block.get(), used) && ok;
        if (!forceDropAndClose(fd) || !ok)
            return fail(state, "write failed");
        state.SetIterationTime(secondsSince(start));
    }
    if (!hasSize(path, static_cast<std::uint64_t>(writes)))
        fail(state, "the file does not hold every byte");
    state.SetItemsProcessed(state.iterations() * writes);
}

// The test file as the run has it, or the same over the null layer, whose blocks, once
// read into, hold the first block of row 4's file.
enum class Layer { Native, Null };

std::unique_ptr<runtime::TestFile> testFileOver(Layer layer)
{
    if (layer == Layer::Native)
        return std::make_unique<runtime::TestFile>();
    return std::make_unique<runtime::TestFile>(std::make_unique<runtime::NullFileLayer>(linesFrom(0, kBlockSize)));
}

// What a reader counts over the null layer, in a file of `bytes`: every block holds the
// same lines, the last one's end joined to the next block's first line.
int linesOverNullLayer(std::uint64_t bytes)
{
    const std::string_view block = linesFrom(0, kBlockSize);
    const auto lineEnds = [](std::string_view text) { return std::count(text.begin(), text.end(), '\n'); };
    const std::uint64_t whole = bytes / kBlockSize;
    const auto rest = static_cast<std::size_t>(bytes % kBlockSize);
    const auto ended = static_cast<std::int64_t>(whole) * lineEnds(block) + lineEnds(block.substr(0, rest));
    const char last = block[(rest > 0 ? rest : kBlockSize) - 1];
    return static_cast<int>(ended + (bytes > 0 && last != '\n' ? 1 : 0));
}

// Rows 1, 3 and 5: to the end of the file, line by line, with the end test before
// every line, into a line buffer made ready as the run makes its own: room for its
// longest line, every page touched. Over the null layer, the file is "written" through
// it, untimed, before each pass.
void readLinesOurs(benchmark::State& state, const Row* row, Layer layer)
{
    const TestFilesRemoved removed;
    const FileContent* content = row->content;
    const runtime::SystemPath path = testFile(bench::kTestFile1Name);
    const auto file = testFileOver(layer);
    (void)file->reserve();
    std::string line(kLargeFileWrites, '\0');
    int lines = 0;
    std::size_t lastLineBytes = 0;
    for (auto _ : state) {
        if (layer == Layer::Native && !createFile(path.text(), row->before))
            return fail(state, "cannot leave the file as the previous row does");
        if (layer == Layer::Null) {
            (void)file->openForOutput(path);
            for (std::uint64_t at = 0; at < content->bytes(); at += kBlockSize) {
                const std::string_view lines = linesFrom(at, content->bytes() - at);
                (void)file->writeFrom(lines.data(), lines.size());
            }
            (void)file->close();
        }
        lines = 0;
        const auto start = SteadyTime::now();
        if (auto error = file->openForInput(path, row->mode))
            return fail(state, "open: " + error.message());
        std::string_view last;
        if (auto error = bench::readLinesToEnd(*file, line, lines, last))
            return fail(state, "read: " + error.message());
        if (auto error = file->close())
            return fail(state, "close: " + error.message());
        state.SetIterationTime(secondsSince(start));
        lastLineBytes = last.size();
    }
    if (layer == Layer::Native && (lines != content->linesRead || lastLineBytes != content->lastLineBytes))
        fail(state, "the lines read are not the lines written");
    if (layer == Layer::Null && lines != linesOverNullLayer(content->bytes()))
        fail(state, "the lines read are not the lines the null layer's blocks hold");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(content->bytes()));
}

// Reads 1 MiB blocks and finds every line end in them; streamed as ours is (direct,
// where the file system allows it).
void scanBlocksReference(benchmark::State& state, const Row* row)
{
    const TestFilesRemoved removed;
    const FileContent* content = row->content;
    const std::string path = nativePath(bench::kTestFile1Name);
    const auto block = touchedBlock();
    std::uint64_t bytes = 0;
    std::uint64_t lineEnds = 0;
    for (auto _ : state) {
        if (!createFile(path, row->before))
            return fail(state, "cannot leave the file as the previous row does");
        bytes = lineEnds = 0;
        const auto start = SteadyTime::now();
        const int direct = row->mode == runtime::ReadMode::Streaming ? O_DIRECT : 0;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | direct);
        if (fd < 0 && errno == EINVAL)
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(state, "open failed");
        for (;;) {
            const ssize_t got = ::read(fd, block.get(), kBlockSize);
            if (got <= 0)
                break;
            bytes += static_cast<std::uint64_t>(got);
            const char* from = block.get();
            const char* const end = from + got;
            while (const void* found = std::memchr(from, '\n', static_cast<std::size_t>(end - from))) {
                ++lineEnds;
                from = static_cast<const char*>(found) + 1;
            }
        }
        ::close(fd);
        state.SetIterationTime(secondsSince(start));
    }
    if (bytes != content->bytes() || lineEnds != content->lineEnds())
        fail(state, "the bytes seen are not the bytes written");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(content->bytes()));
}

// Row 4's loop: a clock test, a line, a count; streamed output, straight from the
// content laid out as lines. Its room is kPayloadLines, where the loop ends as at a full
// volume.
void writeLinesOurs(benchmark::State& state, Layer layer)
{
    const TestFilesRemoved removed;
    const runtime::SystemPath path = testFile(bench::kTestFile1Name);
    runtime::Clock& clock = runClock();
    const auto file = testFileOver(layer);
    (void)file->reserve();
    bench::TestContent& content = lineContent();
    for (auto _ : state) {
        if (layer == Layer::Native && !createFile(path.text(), kRow4.before))
            return fail(state, "cannot leave the file as the previous row does");
        const auto start = SteadyTime::now();
        const double clockStart = clock.seconds();
        if (auto error = file->openForOutput(path, runtime::WriteMode::Streaming))
            return fail(state, "open: " + error.message());
        const bench::SustainedWindow window = bench::writeLinesFor(*file, content, clock, clockStart, kSustainedSeconds,
            kPayloadLines, [](std::uint64_t) { return runtime::Result<std::uint64_t>(kPayloadLines); });
        if (window.writeError)
            return fail(state, "write: " + window.writeError.message());
        if (auto error = file->close())
            return fail(state, "close: " + error.message());
        state.SetIterationTime(secondsSince(start));
        if (window.lines != kPayloadLines)
            return fail(state, "the window closed before the last line");
    }
    if (layer == Layer::Native && !hasSize(nativePath(bench::kTestFile1Name), kPayloadFile.bytes()))
        fail(state, "the file does not hold every line");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPayloadFile.bytes()));
}

// Row 4's bound as the row is defined: the clock read and compared before each line, a
// count, and nothing else.
void readClockOnly(benchmark::State& state)
{
    runtime::Clock& clock = runClock();
    int lines = 0;
    for (auto _ : state) {
        const auto start = SteadyTime::now();
        const double clockStart = clock.seconds();
        lines = 0;
        while (clock.seconds() - clockStart < kSustainedSeconds && lines < kPayloadLines)
            ++lines;
        state.SetIterationTime(secondsSince(start));
    }
    if (lines != kPayloadLines)
        fail(state, "the window closed before the last line");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPayloadFile.bytes()));
}

// Copies each line into a buffer, writes whole buffers, closes as the run does.
void appendLinesReference(benchmark::State& state)
{
    const TestFilesRemoved removed;
    const std::string path = nativePath(bench::kTestFile1Name);
    const auto block = touchedBlock();
    for (auto _ : state) {
        if (!createFile(path, kRow4.before))
            return fail(state, "cannot leave the file as the previous row does");
        const auto start = SteadyTime::now();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(state, "open failed");
        std::size_t used = 0;
        bool ok = true;
        for (int i = 1; i <= kPayloadLines; ++i) {
            // The payload, then its line end.
            std::string_view line = payload(static_cast<std::uint64_t>(i - 1));
            for (int part = 0; part < 2; ++part, line = "\n") {
                while (!line.empty()) {
                    const std::size_t taken = std::min(line.size(), kBlockSize - used);
                    std::memcpy(block.get() + used, line.data(), taken);
                    used += taken;
                    line.remove_prefix(taken);
                    if (used == kBlockSize) {
                        ok = writeAll(fd, block.get(), used) && ok;
                        used = 0;
                    }
                }
            }
        }
        ok = writeAll(fd, block.get(), used) && ok;
        if (!forceDropAndClose(fd) || !ok)
            return fail(state, "write failed");
        state.SetIterationTime(secondsSince(start));
    }
    if (!hasSize(path, kPayloadFile.bytes()))
        fail(state, "the file does not hold every line");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPayloadFile.bytes()));
}

// Row 6: both test files looked up 10,000 times, the first there, the second not,
// each path text built afresh.
void lookUpsOurs(benchmark::State& state)
{
    const TestFilesRemoved removed;
    if (!createFile(nativePath(bench::kTestFile1Name), &kSmallFile)
        || !createFile(nativePath(bench::kTestFile2Name), nullptr))
        return fail(state, "cannot leave the files as the run does");
    int found = 0;
    for (auto _ : state) {
        found = 0;
        const auto start = SteadyTime::now();
        for (int i = 1; i <= kLookupRounds; ++i) {
            for (const std::string_view name : {bench::kTestFile1Name, bench::kTestFile2Name}) {
                const auto result = runtime::lookUpFile(testFile(name));
                if (!result) [[unlikely]]
                    return fail(state, "lookup: " + result.error().message());
                found += result->empty() ? 0 : 1;
            }
        }
        state.SetIterationTime(secondsSince(start));
    }
    if (found != kLookupRounds)
        fail(state, "not every lookup of the first file found it");
    state.SetItemsProcessed(state.iterations() * 2 * kLookupRounds);
}

// 20,000 bare stat calls on the same two paths.
void statReference(benchmark::State& state)
{
    const TestFilesRemoved removed;
    const std::string path1 = nativePath(bench::kTestFile1Name);
    const std::string path2 = nativePath(bench::kTestFile2Name);
    if (!createFile(path1, &kSmallFile) || !createFile(path2, nullptr))
        return fail(state, "cannot leave the files as the run does");
    int found = 0;
    for (auto _ : state) {
        found = 0;
        const auto start = SteadyTime::now();
        for (int i = 1; i <= kLookupRounds; ++i) {
            struct stat st { };
            found += ::stat(path1.c_str(), &st) == 0 ? 1 : 0;
            found += ::stat(path2.c_str(), &st) == 0 ? 1 : 0;
        }
        state.SetIterationTime(secondsSince(start));
    }
    if (found != kLookupRounds)
        fail(state, "not every stat of the first file found it");
    state.SetItemsProcessed(state.iterations() * 2 * kLookupRounds);
}

// A block of payload lines as the read-back meets it, whole lines and the start of the
// next, already in memory.
std::string payloadBlock()
{
    std::string block;
    for (std::uint64_t line = 0; block.size() < kBlockSize; ++line) {
        block += payload(line);
        block += '\n';
    }
    block.resize(kBlockSize);
    return block;
}

// Row 5's work on a block in memory: finding and counting its lines with the run's own
// scan (runtime::nextLineIn), as readLine does for every line that ends in its block.
void scanLinesOurs(benchmark::State& state)
{
    const std::string block = payloadBlock();
    const auto expected = static_cast<int>(std::count(block.begin(), block.end(), '\n'));
    int lines = 0;
    for (auto _ : state) {
        std::size_t begin = 0;
        std::string_view line;
        lines = 0;
        while (runtime::nextLineIn(block.data(), begin, block.size(), line))
            ++lines;
        benchmark::DoNotOptimize(line);
    }
    if (lines != expected)
        fail(state, "not every line of the block was found");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}

// The plainest count of the same block's line ends.
void scanLinesReference(benchmark::State& state)
{
    const std::string block = payloadBlock();
    const auto expected = static_cast<int>(std::count(block.begin(), block.end(), '\n'));
    int lines = 0;
    for (auto _ : state) {
        const char* from = block.data();
        const char* const end = from + block.size();
        lines = 0;
        while (const void* found = std::memchr(from, '\n', static_cast<std::size_t>(end - from))) {
            ++lines;
            from = static_cast<const char*>(found) + 1;
        }
        benchmark::DoNotOptimize(from);
    }
    if (lines != expected)
        fail(state, "not every line end of the block was found");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}

// One caption number, as the result rows format it.
void formatNumber(benchmark::State& state, double value, runtime::NumberPattern pattern)
{
    const runtime::NumberSeparators separators;
    for (auto _ : state) {
        std::string text = runtime::formatNumber(value, pattern, separators);
        benchmark::DoNotOptimize(text);
    }
}

void registerBenchmarks()
{
    const auto timed = [](const char* name, auto function, auto... arguments) {
        benchmark::RegisterBenchmark(name, function, arguments...)->UseManualTime()->Unit(benchmark::kMillisecond);
    };
    timed("row0_small_file_write/ours", writeItemsOurs, &kRow0);
    timed("row0_small_file_write/reference", appendBytesReference, &kRow0);
    timed("row1_small_file_read/ours", readLinesOurs, &kRow1, Layer::Native);
    timed("row1_small_file_read/reference", scanBlocksReference, &kRow1);
    timed("row2_large_file_write/ours", writeItemsOurs, &kRow2);
    timed("row2_large_file_write/reference", appendBytesReference, &kRow2);
    timed("row3_large_file_read/ours", readLinesOurs, &kRow3, Layer::Native);
    timed("row3_large_file_read/reference", scanBlocksReference, &kRow3);
    timed("row4_payload_lines_write/ours", writeLinesOurs, Layer::Native);
    timed("row4_payload_lines_write/reference", appendLinesReference);
    timed("row4_payload_lines_write/null_layer", writeLinesOurs, Layer::Null);
    timed("row4_payload_lines_write/clock_only", readClockOnly);
    timed("row5_payload_lines_read/ours", readLinesOurs, &kRow5, Layer::Native);
    timed("row5_payload_lines_read/reference", scanBlocksReference, &kRow5);
    timed("row5_payload_lines_read/null_layer", readLinesOurs, &kRow5, Layer::Null);
    benchmark::RegisterBenchmark("row5_line_scan_in_memory/ours", scanLinesOurs);
    benchmark::RegisterBenchmark("row5_line_scan_in_memory/reference", scanLinesReference);
    timed("row6_lookups/ours", lookUpsOurs);
    timed("row6_lookups/reference", statReference);
    benchmark::RegisterBenchmark(
        "format_number/three_decimals", formatNumber, 14.2857, runtime::NumberPattern::ThreeDecimals);
    benchmark::RegisterBenchmark(
        "format_number/grouped_whole", formatNumber, 2469183.667, runtime::NumberPattern::GroupedWhole);
}

int run(int argc, char** argv)
{
    std::string given;
    std::vector<char*> passed;
    for (int i = 0; i < argc; ++i) {
        const std::string_view argument = argv[i];
        constexpr std::string_view kDirectoryFlag = "--directory=";
        if (i > 0 && argument.starts_with(kDirectoryFlag))
            given = argument.substr(kDirectoryFlag.size());
        else
            passed.push_back(argv[i]);
    }
    int passedCount = static_cast<int>(passed.size());
    passed.push_back(nullptr);
    benchmark::Initialize(&passedCount, passed.data());
    if (benchmark::ReportUnrecognizedArguments(passedCount, passed.data()))
        return 2;

    const ScratchDirectory scratch(given);
    directory = runtime::directoryNamedBy(runtime::designationFor(scratch.path()));
    benchmark::AddCustomContext("directory", scratch.path());
    benchmark::AddCustomContext("file_system", scratch.fileSystem() + " (" + scratch.origin() + ")");
    registerBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (failures > 0) {
        std::fprintf(stderr, "quvo-diskspeed-benchmarks: %d benchmark(s) did not do their whole work\n", failures);
        return 1;
    }
    return 0;
}

} // namespace
} // namespace quvo::benchmarks

int main(int argc, char** argv)
{
    try {
        return quvo::benchmarks::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quvo-diskspeed-benchmarks: %s\n", error.what());
        return 1;
    }
}
