// SPDX-License-Identifier: MIT
// The nine rows of a run, as data: what each is called, what it does and how much of
// it, how its value is shown, and how often the run lets the window's events through
// after it. The run's steps, the result rows, the reports, the benchmarks and the
// tests all read this one table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quvo::bench {

inline constexpr int kRowCount = 9;

// The method's version, which reports carry: raised with every change to the program
// that could change a figure (a row's workload, how its data meets the device, how it
// is timed or worked out), so that two runs' figures are comparable where it agrees.
inline constexpr int kMethodVersion = 1;

enum class RowKind {
    Time,  // elapsed seconds; a shorter bar is faster
    Speed, // kilobytes per second; a longer bar is faster
};

// What a row does with the two test files.
enum class Action {
    WriteItems,     // test file 1 created or emptied, then `times` one-byte items
    ReadLines,      // test file 1 read to its end, a line at a time
    SustainedWrite, // test file 1 emptied, then kilobyte lines for `seconds`
    ReadBack,       // the sustained write's lines read back and counted
    LookUps,        // `times` rounds, each looking up test file 1 and then test file 2
    Copy,           // test file 1 copied to test file 2
    Delete,         // both test files removed
};

struct Workload {
    Action action;
    int times = 0;      // items written, or lookup rounds
    double seconds = 0; // how long the sustained write writes
};

struct RowSpec {
    std::string_view id;      // its name in reports for scripts: stable, ASCII
    std::string_view caption; // the row's caption label in the window
    RowKind kind;
    double fullScale; // the value at which the bar fills its frame: seconds or KB/s
    Workload workload;
    int pumpsAfter; // times the window's events are let through once the row is shown
};

// clang-format off
inline constexpr std::array<RowSpec, kRowCount> kRows = {{
    {"small_write",     "小文件写入速度 (1MB):",       RowKind::Time,  5,     {.action = Action::WriteItems, .times = 1'024'000},  2},
    {"small_read",      "小文件只读速度 (1MB):",       RowKind::Time,  5,     {.action = Action::ReadLines},                       1},
    {"large_write",     "大文件写入速度 (10 MB):",     RowKind::Time,  25,    {.action = Action::WriteItems, .times = 10'240'000}, 2},
    {"large_read",      "大文件只读速度 (10 MB):",     RowKind::Time,  25,    {.action = Action::ReadLines},                       2},
    {"sustained_write", "磁盘全部写入速度 (KB/秒):",   RowKind::Speed, 75000, {.action = Action::SustainedWrite, .seconds = 3},    2},
    {"read_back",       "磁盘全部只读速度 (KB/秒):",   RowKind::Speed, 75000, {.action = Action::ReadBack},                        1},
    {"lookup",          "文件查找速度 (10000个文件):", RowKind::Time,  2,     {.action = Action::LookUps, .times = 10'000},        1},
    {"copy",            "文件复制速度 (10 MB):",       RowKind::Time,  4,     {.action = Action::Copy},                            1},
    {"delete",          "文件删除速度 (20 MB):",       RowKind::Time,  2,     {.action = Action::Delete},                          1},
}};
// clang-format on

constexpr const RowSpec& rowSpec(int row)
{
    return kRows[static_cast<std::size_t>(row)];
}

// The row that does action; every action is done by one row.
constexpr int rowOf(Action action)
{
    for (int row = 0; row < kRowCount; ++row)
        if (rowSpec(row).workload.action == action)
            return row;
    return -1;
}

// The sustained write notes how far it has got at every quarter second of its window,
// the last note at the window's end: a drive that slows within the window shows in them.
inline constexpr int kQuartersPerSecond = 4;
inline constexpr double kQuarterSecond = 1.0 / kQuartersPerSecond;
inline constexpr int kWindowQuarters = 12;
static_assert(rowSpec(rowOf(Action::SustainedWrite)).workload.seconds * kQuartersPerSecond == kWindowQuarters,
    "a note for every quarter second of the sustained write's window");

// Before row 0 the run lets the events through once per row reset and once after it
// shows its status; then after every row as the table says.
constexpr int pumpsPerRun()
{
    int pumps = kRowCount + 1;
    for (const RowSpec& row : kRows)
        pumps += row.pumpsAfter;
    return pumps;
}

// The most one-byte items a row writes: the largest file of the fixed rows, and the
// longest line the run reads back (they carry no line end).
constexpr int mostItems()
{
    int most = 0;
    for (const RowSpec& row : kRows)
        most = row.workload.times > most && row.workload.action == Action::WriteItems ? row.workload.times : most;
    return most;
}

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

} // namespace quvo::bench
