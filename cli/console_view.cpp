// SPDX-License-Identifier: MIT
#include "cli/console_view.h"

#include "cli/utf8.h"
#include "runtime/console.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace quvo::cli {
namespace {

constexpr int kCaptionColumns = 28;
constexpr int kResultColumns = 16;

bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

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

int displayWidth(std::string_view text)
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        // A byte that starts no sequence shows as one replacement character.
        const CodePoint c = codePointAt(text, i);
        width += c.length > 0 && isWide(c.value) ? 2 : 1;
        i += c.length > 0 ? c.length : 1;
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

ConsoleView::ConsoleView(std::string driveText, ConsoleStyle style, std::FILE* out, const runtime::StopFlag* stop)
    : style_(style)
    , out_(out)
    , stop_(stop)
{
    record_.start(std::move(driveText));
    if (style_.progress)
        progress_.emplace(stderr);
}

void ConsoleView::setStatusText(std::string_view text)
{
    record_.setStatusText(text);
    statusPrinted_ = false;
}

void ConsoleView::pumpEvents()
{
    if (style_.lines && !statusPrinted_) {
        const auto print = [this] { runtime::printTo(out_, "%s\n", record_.status().c_str()); };
        progress_ ? progress_->print(print) : print();
    }
    // The one status a pump follows is the waiting message: row 0 comes next.
    if (progress_ && !statusPrinted_)
        progress_->measuring(0);
    statusPrinted_ = true;
    std::fflush(out_);
}

void ConsoleView::rowShown(int row, const bench::RowReport& report)
{
    record_.rowShown(row, report);
    if (progress_)
        progress_->measuring(row + 1);
    if (!style_.lines)
        return;
    const bench::RowRecord& shown = record_.rows()[static_cast<std::size_t>(row)];
    const auto print = [&] {
        runtime::printTo(out_, "%s\n",
            rowLine(bench::kRows[static_cast<std::size_t>(row)].caption, shown.text, shown.barTwips, style_.bars)
                .c_str());
        std::fflush(out_);
    };
    progress_ ? progress_->print(print) : print();
}

} // namespace quvo::cli
