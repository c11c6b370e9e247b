// SPDX-License-Identifier: MIT
// The run on a thread of its own: every call it makes of the window reaches the window's
// thread, in order, and a stop asked there ends the run within its block, also from
// inside a pump, where an end of session comes while the run waits for the pump.
#include "bench/run_thread.h"

#include "tests/bench/run_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quvo::bench {
namespace {

// The window's side: a recording view that notes the thread of every call, and the
// thread that runs the tasks, waiting between them as an event loop does.
class WindowSide : public test::RecordingView {
public:
    void setStatusText(std::string_view text) override
    {
        note();
        RecordingView::setStatusText(text);
    }
    void setBarWidth(int row, float twips) override
    {
        note();
        RecordingView::setBarWidth(row, twips);
    }
    void setResultText(int row, std::string_view text) override
    {
        note();
        RecordingView::setResultText(row, text);
    }
    void pumpEvents() override
    {
        note();
        RecordingView::pumpEvents();
    }

    void wake()
    {
        const std::lock_guard lock(mutex_);
        woken_ = true;
        changed_.notify_all();
    }
    // Runs the tasks as they come until the run has ended, and whatever else the
    // window's thread is to do each time it wakes.
    void loop(
        RunThread& run, const std::function<void()>& onWaking = [] {})
    {
        while (run.running()) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return woken_; });
            woken_ = false;
            lock.unlock();
            onWaking();
            run.runTasks();
        }
    }

    bool elsewhere = false; // some call came on another thread than the window's

private:
    void note() { elsewhere = elsewhere || std::this_thread::get_id() != window_; }

    std::thread::id window_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable changed_;
    bool woken_ = false;
};

// A window and a run on it, in a directory of their own.
struct OnItsThread {
    test::TempDir dir;
    test::StepClock clock{0.001};
    WindowSide window;
    RunThread run{window, clock, runtime::NumberSeparators{}, [this] { window.wake(); }};

    OnItsThread() { window.drive = driveTextFor(dir.path()); }
};

TEST(RunThread, EveryCallReachesTheWindowsThreadInOrder)
{
    OnItsThread on;
    ASSERT_TRUE(on.run.start());
    EXPECT_FALSE(on.run.start()) << "a start during a run";
    on.window.loop(on.run);
    EXPECT_FALSE(on.window.elsewhere);
    EXPECT_EQ(on.window.pumps, pumpsPerRun());
    EXPECT_EQ(on.window.statuses.back(), "本地磁盘测试完成");
    EXPECT_EQ(on.window.lastShownRow, kRowCount - 1);
    for (std::size_t row = 0; row < kRowCount; ++row)
        EXPECT_EQ(on.window.results.at(row), on.run.lastRun().rows()[row].text);
    EXPECT_TRUE(entries(on.dir.path()).empty());
}

// As a row starts, while the window's thread waits for the run, and from inside a pump,
// where an end of session comes while the run waits for the pump.
TEST(RunThread, AStopOnTheWindowsThreadEndsTheRunWithinItsBlock)
{
    for (const bool insidePump : {false, true}) {
        SCOPED_TRACE(insidePump ? "inside a pump" : "as a row starts");
        OnItsThread on;
        std::atomic<bool> asked = false;
        std::atomic<bool> stopped = false;
        // Row 1's start: the window's thread is woken to stop the run, which goes on
        // once it has.
        on.clock.onReading = [&] {
            if (insidePump || asked || on.run.lastRun().rows()[0].text.empty())
                return;
            asked = true;
            on.window.wake();
            while (!stopped)
                std::this_thread::yield();
        };
        on.window.onPump = [&] {
            if (!insidePump || asked || on.window.lastShownRow != 3)
                return;
            asked = true;
            on.run.stopAndWait();
            EXPECT_FALSE(on.run.running());
        };
        ASSERT_TRUE(on.run.start());
        on.window.loop(on.run, [&] {
            if (asked && !insidePump && !stopped) {
                on.run.stop();
                stopped = true;
            }
        });
        EXPECT_TRUE(asked);
        EXPECT_FALSE(on.window.elsewhere);
        EXPECT_EQ(on.window.statuses.back(), "本地磁盘测试已中止");
        EXPECT_EQ(on.window.lastShownRow, insidePump ? 3 : 0);
        EXPECT_TRUE(entries(on.dir.path()).empty());
    }
}

} // namespace
} // namespace quvo::bench
