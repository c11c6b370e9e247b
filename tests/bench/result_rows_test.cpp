// SPDX-License-Identifier: MIT
// Each row's bar width and caption from a measured value, and the cases where one
// of the two cannot be computed.
#include "bench/result_rows.h"

#include "tests/support/clocks.h"
#include "tests/support/recording_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace quvo::bench {
namespace {

using test::RecordingView;
using test::ScriptedClock;

struct ShowCase {
    const char* name;
    std::initializer_list<double> readings; // the clock's, after the start at 100
    std::function<void(ResultRows&)> show;
    int row;
    float width;
    const char* caption;
};

TEST(ResultRows, ShowsEachRowOnItsOwnScale)
{
    const ShowCase cases[] = {
        {"small write past its frame", {110, 110}, [](ResultRows& r) { r.showElapsed(0, 100); }, 0, 7410.0f,
            "10.000 秒"},
        {"small read", {101, 101}, [](ResultRows& r) { r.showElapsed(1, 100); }, 1, 741.0f, "1.000 秒"},
        {"large write at full scale", {125, 125}, [](ResultRows& r) { r.showElapsed(2, 100); }, 2, 3705.0f,
            "25.000 秒"},
        {"large read", {105, 105}, [](ResultRows& r) { r.showElapsed(3, 100); }, 3, 741.0f, "5.000 秒"},
        {"lookups", {101, 101}, [](ResultRows& r) { r.showElapsed(6, 100); }, 6, 1852.5f, "1.000 秒"},
        {"copy", {102, 102}, [](ResultRows& r) { r.showElapsed(7, 100); }, 7, 1852.5f, "2.000 秒"},
        {"delete", {100.5, 100.5}, [](ResultRows& r) { r.showElapsed(8, 100); }, 8, 926.25f, "0.500 秒"},
        {"caption reads the clock later", {101, 101.5}, [](ResultRows& r) { r.showElapsed(0, 100); }, 0, 741.0f,
            "1.500 秒"},
        {"under a thousandth", {100.0004, 100.0004}, [](ResultRows& r) { r.showElapsed(0, 100); }, 0,
            static_cast<float>(3705.0 / 5 * (100.0004 - 100)), "0.000 秒"},
        {"sustained write at full scale", {}, [](ResultRows& r) { r.showFixedRate(4, 225000, 3); }, 4, 3705.0f,
            "75,000 KB/秒"},
        {"sustained write of nothing", {}, [](ResultRows& r) { r.showFixedRate(4, 0, 3); }, 4, 0.0f, " KB/秒"},
        {"a third of a kilobyte shows no digits", {}, [](ResultRows& r) { r.showFixedRate(4, 1, 3); }, 4,
            static_cast<float>(3705.0 / 75000 * (1 / 3.0)), " KB/秒"},
        {"read-back at full scale", {101, 101}, [](ResultRows& r) { r.showRate(5, 75000, 100); }, 5, 3705.0f,
            "75,000 KB/秒"},
        {"read-back, caption later", {101, 102}, [](ResultRows& r) { r.showRate(5, 75000, 100); }, 5, 3705.0f,
            "37,500 KB/秒"},
        {"read-back over no time: both skipped", {100, 100}, [](ResultRows& r) { r.showRate(5, 75000, 100); }, 5, 15.0f,
            ""},
        {"nothing read over no time: both skipped", {100, 100}, [](ResultRows& r) { r.showRate(5, 0, 100); }, 5, 15.0f,
            ""},
        {"bar over no time skipped, caption set", {100, 101}, [](ResultRows& r) { r.showRate(5, 75000, 100); }, 5,
            15.0f, "75,000 KB/秒"},
    };
    for (const ShowCase& c : cases) {
        RecordingView view;
        RunRecord record;
        ScriptedClock clock(c.readings);
        ResultRows rows(view, record, clock, runtime::NumberSeparators{});
        rows.reset(c.row);
        c.show(rows);
        EXPECT_EQ(view.bars[c.row], c.width) << c.name;
        EXPECT_EQ(view.results[c.row], c.caption) << c.name;
        // The run's record holds what the window shows.
        EXPECT_EQ(record.rows()[c.row].barTwips, c.width) << c.name;
        EXPECT_EQ(record.rows()[c.row].text, c.caption) << c.name;
        EXPECT_EQ(view.lastShownRow, c.row) << c.name;
        EXPECT_TRUE(clock.exhausted()) << c.name;
    }
}

TEST(ResultRows, ResetEmptiesTheCaptionAndLeavesOnePixelOfBar)
{
    RecordingView view;
    RunRecord record;
    ScriptedClock clock{110, 110};
    ResultRows rows(view, record, clock, runtime::NumberSeparators{});
    rows.showElapsed(0, 100);
    rows.reset(0);
    EXPECT_EQ(view.results[0], "");
    EXPECT_EQ(view.bars[0], 15.0f);
}

TEST(ResultRows, CaptionsUseTheGivenSeparators)
{
    RecordingView view;
    RunRecord record;
    ScriptedClock clock{101.25, 101.25, 101, 101};
    ResultRows rows(view, record, clock, runtime::NumberSeparators{",", "."});
    rows.showElapsed(0, 100);
    rows.showRate(5, 75000, 100);
    EXPECT_EQ(view.results[0], "1,250 秒");
    EXPECT_EQ(view.results[5], "75.000 KB/秒");
}

} // namespace
} // namespace quvo::bench
