// SPDX-License-Identifier: MIT
#include "cli/console_view.h"

#include "runtime/console.h"

#include <utf8proc.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>

namespace quvo::cli {
namespace {

constexpr int kCaptionColumns = 28;
constexpr int kResultColumns = 16;

std::string spaces(int count)
{
    return std::string(static_cast<std::size_t>(std::max(count, 0)), ' ');
}

std::string repeated(std::string_view cell, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += cell;
    return text;
}

} // namespace

// Widths from utf8proc's tables of the Unicode standard: wide East Asian characters
// and emoji take two columns, combining marks none. A byte that starts no valid
// sequence shows as one replacement character.
int displayWidth(std::string_view text)
{
    int width = 0;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto left = static_cast<utf8proc_ssize_t>(text.size());
    while (left > 0) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t length = utf8proc_iterate(bytes, left, &c);
        width += length > 0 ? utf8proc_charwidth(c) : 1;
        const utf8proc_ssize_t taken = length > 0 ? length : 1;
        bytes += taken;
        left -= taken;
    }
    return width;
}

std::string rowLine(std::string_view caption, std::string_view result, float barTwips, bool bar)
{
    std::string line = std::string(caption) + spaces(kCaptionColumns - displayWidth(caption))
        + spaces(kResultColumns - displayWidth(result)) + std::string(result);
    if (!bar)
        return line;
    const double share = std::clamp(barTwips / bench::kFullScaleTwips, 0.0, 1.0);
    const int filled = static_cast<int>(std::lround(share * kBarCells));
    return line + "  │" + repeated("█", filled) + repeated("░", kBarCells - filled) + "│";
}

ConsoleView::ConsoleView(std::string driveText, ConsoleStyle style, std::FILE* out, runtime::StopFlag& stop)
    : driveText_(std::move(driveText))
    , style_(style)
    , out_(out)
    , stop_(stop)
{
    if (style_.progress)
        progress_.emplace(stderr);
}

template <class Print>
void ConsoleView::print(Print&& print)
{
    if (progress_)
        progress_->print(print);
    else
        print();
    if ((std::fflush(out_) != 0 || std::ferror(out_)) && outputError_ == 0) {
        outputError_ = errno != 0 ? errno : EIO;
        stop_.raise();
    }
}

void ConsoleView::setStatusText(std::string_view text)
{
    status_ = text;
}

void ConsoleView::pumpEvents()
{
    if (style_.lines && !status_.empty())
        print([this] { runtime::printTo(out_, "%s\n", status_.c_str()); });
    status_.clear();
}

void ConsoleView::rowStarted(int row)
{
    if (progress_)
        progress_->measuring(row);
}

// A row changes again once it is known how its data met the device: its line is out by
// then.
void ConsoleView::rowChanged(int row)
{
    if (row <= lastLine_)
        return;
    lastLine_ = row;
    if (progress_)
        progress_->measuring(-1);
    const auto at = static_cast<std::size_t>(row);
    if (style_.lines)
        print([&] {
            runtime::printTo(
                out_, "%s\n", rowLine(bench::rowSpec(row).caption, results_.at(at), bars_.at(at), style_.bars).c_str());
        });
}

} // namespace quvo::cli
