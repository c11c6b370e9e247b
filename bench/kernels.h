// SPDX-License-Identifier: MIT
// The run's inner loops, the timed work of its rows apart from opening and closing:
// the run calls them, and the benchmarks time these very functions against the
// tightest plain loops. Nothing here allocates, pumps or reads a setting.
#pragma once

#include "bench/test_content.h"
#include "runtime/clock.h"
#include "runtime/result.h"
#include "runtime/test_file.h"

#include <cstdint>
#include <string>
#include <system_error>

namespace quvo::bench {

// One payload and its line end: the sustained write's unit, a kilobyte of data.
inline constexpr std::uint64_t kLineBytes = TestContent::kPayloadBytes + runtime::TestFile::kLineEnd.size();

// Rows 0 and 2: writes one-byte items to file, the i-th byte of characters as the i-th
// item, for i from 1 to writes. The counter and the writer's cursor stay in registers:
// the loop is a function of its own, apart from the run's working values.
std::error_code writeItems(runtime::TestFile& file, const char* characters, int writes);

// Rows 1, 3 and 5: reads file to its end, a line at a time, with the end test before
// every line, and counts the lines read; line is the last. A line is a view into the
// block read where it can be, else put together in buffer (sized for the longest line).
// A failing end test ends the loop with its error rather than looping on it.
std::error_code readLinesToEnd(runtime::TestFile& file, std::string& buffer, int& count, std::string_view& line);

// What the sustained write did.
struct SustainedWindow {
    int lines = 0;
    double seconds = 0;    // the window's length, or when it was cut short or a write failed
    bool cutShort = false; // the room ran out before the time did
    std::error_code writeError;
    std::error_code lookError; // from a look at the room left
};

// Row 4: a payload line at a time to file, the clock read and compared with start
// before every line, until seconds have passed; so the loop always
// ends on a clock test, never on a write. Once the lines written reach `room`, it asks
// nextLook(lines) for the room there is now (a count of lines); where there is none
// left, the window ends there, early.
template <class NextLook>
SustainedWindow writeLinesFor(runtime::TestFile& file, const TestContent& content, runtime::Clock& clock, double start,
    double seconds, std::uint64_t room, NextLook&& nextLook)
{
    SustainedWindow window;
    window.seconds = seconds;
    for (;;) {
        const double elapsed = clock.seconds() - start;
        if (elapsed >= seconds)
            return window;
        const auto lines = static_cast<std::uint64_t>(window.lines);
        if (lines >= room) [[unlikely]] {
            const runtime::Result<std::uint64_t> next = nextLook(lines);
            if (!next) {
                window.lookError = next.error();
                return window;
            }
            room = *next;
            if (lines >= room) {
                window.seconds = elapsed;
                window.cutShort = true;
                return window;
            }
        }
        if (auto error = file.writeLine(content.payload(lines))) [[unlikely]] {
            window.writeError = error;
            window.seconds = clock.seconds() - start;
            return window;
        }
        ++window.lines;
    }
}

} // namespace quvo::bench
