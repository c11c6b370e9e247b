// SPDX-License-Identifier: MIT
#include "cli/progress_line.h"

#include "bench/result_rows.h"
#include "bench/wording.h"
#include "cli/console_view.h"
#include "runtime/console.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace quvo::cli {

ProgressLine::ProgressLine(std::FILE* terminal)
    : terminal_(terminal)
    , thread_([this] { draw(); })
{
}

ProgressLine::~ProgressLine()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        wipe();
    }
    changed_.notify_one();
    thread_.join();
}

void ProgressLine::measuring(int row)
{
    const std::lock_guard lock(mutex_);
    row_ = row;
    since_ = Clock::now();
}

// Each line overwrites the last from its start, and blanks cover what the last one had
// beyond it: Windows' console shows an erase sequence (ESC [K) as text unless told
// otherwise, and blanks need no telling anywhere.
void ProgressLine::draw()
{
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        if (row_ < 0 || row_ >= bench::kRowCount)
            continue;
        const double seconds = std::chrono::duration<double>(Clock::now() - since_).count();
        std::array<char, 32> figure{};
        std::snprintf(figure.data(), figure.size(), "%.1f", seconds);
        const std::string line = std::string(bench::kMeasuringText)
            + std::string(bench::kRows[static_cast<std::size_t>(row_)].caption) + " " + figure.data()
            + std::string(bench::kSecondsUnit);
        const int width = displayWidth(line);
        runtime::printTo(terminal_, "\r%s%s", line.c_str(),
            std::string(static_cast<std::size_t>(std::max(drawnWidth_ - width, 0)), ' ').c_str());
        std::fflush(terminal_);
        drawnWidth_ = width;
    }
}

void ProgressLine::wipe()
{
    if (drawnWidth_ == 0)
        return;
    runtime::printTo(terminal_, "\r%s\r", std::string(static_cast<std::size_t>(drawnWidth_), ' ').c_str());
    std::fflush(terminal_);
    drawnWidth_ = 0;
}

} // namespace quvo::cli
