// SPDX-License-Identifier: MIT
#include "cli/progress_line.h"

#include "bench/result_rows.h"

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

void ProgressLine::draw()
{
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stopping_; })) {
        if (row_ < 0 || row_ >= bench::kRowCount)
            continue;
        const double seconds = std::chrono::duration<double>(Clock::now() - since_).count();
        std::fprintf(terminal_, "\r正在测试：%s %.1f 秒\x1b[K",
            std::string(bench::kRows[static_cast<std::size_t>(row_)].caption).c_str(), seconds);
        std::fflush(terminal_);
        drawn_ = true;
    }
}

void ProgressLine::wipe()
{
    if (!drawn_)
        return;
    std::fputs("\r\x1b[K", terminal_);
    std::fflush(terminal_);
    drawn_ = false;
}

} // namespace quvo::cli
