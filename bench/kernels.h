// SPDX-License-Identifier: MIT
// The run's inner loops, the timed work of its rows apart from opening and closing:
// the run calls them, and the benchmarks time these very functions against the
// tightest plain loops, and over the null file layer. Nothing here allocates, pumps or
// reads a setting.
#pragma once

#include "bench/rows.h"
#include "bench/test_content.h"
#include "runtime/clock.h"
#include "runtime/result.h"
#include "runtime/test_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <system_error>

namespace quvo::bench {

// One payload and its line end: the sustained write's unit, a kilobyte of data.
inline constexpr std::uint64_t kLineBytes = TestContent::kLineBytes;

// Rows 0 and 2: writes one-byte items to file, the i-th byte of characters as the i-th
// item, for i from 1 to writes. The counter and the writer's cursor stay in registers:
// the loop is a function of its own, apart from the run's working values.
std::error_code writeItems(runtime::TestFile& file, const char* characters, int writes);

// Rows 1, 3 and 5: reads file to its end, a line at a time, with the end test before
// every line, and counts the lines read; line is the last. A line is a view into the
// block read where it can be, else put together in buffer (sized for the longest line).
// A failing end test ends the loop with its error rather than looping on it.
std::error_code readLinesToEnd(runtime::TestFile& file, std::string& buffer, int& count, std::string_view& line);

// Row 4's lines, written to file straight from the content laid out as lines: a line
// written is a count moved on, and each block, once full, goes to the file from the
// content's own memory (the file writes it while the next fills). Nothing else may write
// to the file while the writer lives.
class LineWriter {
public:
    LineWriter(runtime::TestFile& file, TestContent& content)
        : file_(file)
        , content_(content)
    {
    }

    // Appends the next line of the content's ring.
    std::error_code writeLine()
    {
        written_ += kLineBytes;
        if (written_ < blockEnd_) [[likely]]
            return {};
        return handOver();
    }
    // Writes the last, partial block: before the file's close.
    std::error_code finish();

private:
    std::error_code handOver();

    runtime::TestFile& file_;
    TestContent& content_;
    std::uint64_t written_ = 0; // bytes of the lines written
    std::uint64_t blockEnd_ = runtime::TestFile::kBlockSize;
};

// What the sustained write did.
struct SustainedWindow {
    int lines = 0;
    double seconds = 0;    // the window's length, or when it was cut short or a write failed
    bool cutShort = false; // the room ran out before the time did
    std::error_code writeError;
    std::error_code lookError; // from a look at the room left
    // The lines written by each quarter second, the last at the window's end: `quarters`
    // of them, fewer where the window ended early.
    std::array<int, kWindowQuarters> linesAt{};
    int quarters = 0;
};

// Row 4: a line at a time to file, the clock read and compared with start before every
// line, until seconds have passed; so the loop always ends on a clock test, never on a
// write. The same reading notes the lines written by each quarter second it has passed.
// Once the lines written reach `room`, it asks nextLook(lines) for the room there is now
// (a count of lines); where there is none left, the window ends there, early. The last,
// partial block is written before it returns, unless the look failed.
template <class NextLook>
SustainedWindow writeLinesFor(runtime::TestFile& file, TestContent& content, runtime::Clock& clock, double start,
    double seconds, std::uint64_t room, NextLook&& nextLook)
{
    SustainedWindow window;
    window.seconds = seconds;
    LineWriter writer(file, content);
    // Counted apart from the window, which the compiler would keep in memory around
    // every clock reading.
    int written = 0;
    // The one time each reading is compared with: the next quarter second, or the end.
    const auto markAfter = [seconds](int quarters) {
        return quarters < kWindowQuarters ? std::min((quarters + 1) * kQuarterSecond, seconds) : seconds;
    };
    double nextMark = markAfter(0);
    for (;;) {
        const double elapsed = clock.seconds() - start;
        if (elapsed >= nextMark) [[unlikely]] {
            // A reading late by more than a quarter (a stalled write) passes several.
            while (window.quarters < kWindowQuarters && elapsed >= (window.quarters + 1) * kQuarterSecond)
                window.linesAt[static_cast<std::size_t>(window.quarters++)] = written;
            if (elapsed >= seconds)
                break;
            nextMark = markAfter(window.quarters);
        }
        const auto lines = static_cast<std::uint64_t>(written);
        if (lines >= room) [[unlikely]] {
            const runtime::Result<std::uint64_t> next = nextLook(lines);
            if (!next) {
                window.lines = written;
                window.lookError = next.error();
                return window;
            }
            room = *next;
            if (lines >= room) {
                window.seconds = elapsed;
                window.cutShort = true;
                break;
            }
        }
        if (auto error = writer.writeLine()) [[unlikely]] {
            window.lines = written;
            window.writeError = error;
            window.seconds = clock.seconds() - start;
            return window;
        }
        ++written;
    }
    window.lines = written;
    window.writeError = writer.finish();
    return window;
}

} // namespace quvo::bench
