// SPDX-License-Identifier: MIT
// A line on a terminal that says which row is being measured and for how long, so that
// a row of several seconds is not silence.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace quvo::cli {

// Redrawn four times a second on its own thread while a row is measured, and wiped
// before anything else is printed (whose printing goes through print()). The thread
// only reads the clock and writes to the terminal: the run's timed work is untouched.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* terminal);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The row measured from now; -1 for none.
    void measuring(int row);
    // Wipes the line and runs print, with the line held off meanwhile.
    template <class Print>
    void print(Print&& print)
    {
        const std::lock_guard lock(mutex_);
        wipe();
        print();
    }

private:
    using Clock = std::chrono::steady_clock;
    void draw();
    void wipe();

    std::FILE* terminal_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int row_ = -1;
    Clock::time_point since_{};
    int drawnWidth_ = 0; // terminal columns of the line shown, 0 for none
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace quvo::cli
