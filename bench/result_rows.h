// SPDX-License-Identifier: MIT
// The nine result rows: what each measures, its scale, and how a measured value
// becomes a bar width and a caption.
#pragma once

#include "bench/run_view.h"
#include "runtime/clock.h"
#include "runtime/number_format.h"

#include <array>
#include <string_view>

namespace quvo::bench {

inline constexpr int kRowCount = 9;

enum class RowKind {
    Time,  // elapsed seconds; a shorter bar is faster
    Speed, // kilobytes per second; a longer bar is faster
};

struct RowSpec {
    std::string_view caption; // the row's caption label in the window
    std::string_view id;      // its name in reports for scripts: stable, ASCII
    RowKind kind;
    double fullScale; // the value at which the bar fills its frame: seconds or KB/s
};

inline constexpr std::array<RowSpec, kRowCount> kRows = {{
    {"小文件写入速度 (1MB):", "small_write", RowKind::Time, 5},
    {"小文件只读速度 (1MB):", "small_read", RowKind::Time, 5},
    {"大文件写入速度 (10 MB):", "large_write", RowKind::Time, 25},
    {"大文件只读速度 (10 MB):", "large_read", RowKind::Time, 25},
    {"磁盘全部写入速度 (KB/秒):", "sustained_write", RowKind::Speed, 75000},
    {"磁盘全部只读速度 (KB/秒):", "read_back", RowKind::Speed, 75000},
    {"文件查找速度 (10000个文件):", "lookup", RowKind::Time, 2},
    {"文件复制速度 (10 MB):", "copy", RowKind::Time, 4},
    {"文件删除速度 (20 MB):", "delete", RowKind::Time, 2},
}};

// The unit a row's value counts in, as reports for scripts write it: seconds, or
// kilobyte lines a second.
constexpr std::string_view unitOf(RowKind kind)
{
    return kind == RowKind::Time ? "s" : "KB/s";
}

// The inside width of a bar frame, in twips: a bar this wide shows the full-scale value.
inline constexpr double kFullScaleTwips = 3705;
// One pixel: the width of every bar after a reset.
inline constexpr float kResetTwips = 15;

class ResultRows {
public:
    ResultRows(RunView& view, runtime::Clock& clock, runtime::NumberSeparators separators);

    // Empty caption, a bar one pixel wide.
    void reset(int row);
    // A time row: the seconds since start, read from the clock once for the bar and
    // again for the caption, which therefore can show a little more. bytes: what the
    // row moved, for the view's report.
    void showElapsed(int row, double start, std::uint64_t bytes = 0);
    // count per elapsed second, the clock read once for the bar and again for the caption.
    void showRate(int row, int count, double start, std::uint64_t bytes = 0);
    // count per a known number of seconds; no clock reading.
    void showFixedRate(int row, int count, double seconds, std::uint64_t bytes = 0, CutShort cut = CutShort::No);

private:
    // Each of the two is skipped when its value cannot be computed (a division by a
    // zero elapsed time): the bar or caption keeps what it showed.
    void setBar(int row, double value);
    void setCaption(int row, double value);

    RunView& view_;
    runtime::Clock& clock_;
    runtime::NumberSeparators separators_;
};

} // namespace quvo::bench
