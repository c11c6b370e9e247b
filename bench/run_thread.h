// SPDX-License-Identifier: MIT
// The measurement run on a thread of its own, so that the window's thread is free all
// through it to answer the system: repaints, the window manager's pings, a close, the
// end of a session. A desktop offers to kill a window that has not answered for five
// seconds, and a run killed so leaves gigabytes of test files behind.
//
// The run reaches the window only through its view, and here each call it makes of the
// view is carried to the window's thread as a task, the tasks run there in order. What
// the run sets (the status, a bar, a result, the record's news) is handed over and the
// run goes on at once, so that none of the window's work falls between a row's clock
// readings; the drive text and the pump are waited for. A front end wakes its thread
// for the tasks by its own means (a posted event, a posted message) and runs them there
// with runTasks(). Between the pumps its thread handles only what the system asks of
// it: the user's clicks and keys wait for the next pump, as they did when the run held
// the thread, while a close stops the run within the block it is moving.
#pragma once

#include "bench/measurement_run.h"
#include "bench/run_view.h"
#include "runtime/clock.h"
#include "runtime/number_format.h"
#include "runtime/stop.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quvo::bench {

class RunThread {
public:
    // window is the view the tasks call, on the window's thread. wake is called from the
    // run's thread when a task waits where none did; it must see that the window's thread
    // calls runTasks() soon, and must not call it itself.
    RunThread(RunView& window, runtime::Clock& clock, runtime::NumberSeparators separators, std::function<void()> wake);
    // Stops a run in progress and waits for it to remove its files.
    ~RunThread();
    RunThread(const RunThread&) = delete;
    RunThread& operator=(const RunThread&) = delete;

    // On the window's thread: starts a run. False, and nothing done, while one is in
    // progress (a click on the button at one of its pumps).
    bool start();
    // From start() until the task that ends the run has run on the window's thread.
    bool running() const { return running_; }
    // On the window's thread: asks the run in progress to stop within the block it is
    // moving and to remove its test files; nothing when none is. A pump the run waits
    // for is then no longer waited for.
    void stop();
    // On the window's thread: stops the run in progress and waits until it has removed
    // its files, running its tasks meanwhile but pumping no events; also from within a
    // pump. For an end of session, which ends the program once it is answered.
    void stopAndWait();

    // On the window's thread, once woken: runs the tasks that wait, in order.
    void runTasks();

    // On the window's thread: the run in progress, as far as the window has been told of
    // it, or the last.
    const RunRecord& lastRun() const { return windowRecord_; }
    // The run in progress's stop, or the last run's.
    const runtime::StopFlag& stopFlag() const { return *stop_; }

private:
    class Relay;
    using Task = std::function<void()>;

    // From the run's thread.
    void post(Task task);
    // From the run's thread: runs task on the window's thread and waits until it has run,
    // or, where untilStopped, until a stop is asked for.
    void call(Task task, bool untilStopped);
    void runOnThread();
    void end();

    RunView& window_;
    std::function<void()> wake_;
    std::unique_ptr<Relay> relay_;
    MeasurementRun run_;
    // A fresh flag for every run: a stop asked of one run is not the next one's.
    std::unique_ptr<runtime::StopFlag> stop_;
    // The record as the window's thread has it: the run's own changes on the run's thread.
    RunRecord windowRecord_;
    std::thread thread_;
    bool running_ = false;

    std::mutex mutex_;
    std::condition_variable changed_; // a task was posted, or a task waited for has run
    std::deque<Task> tasks_;
};

} // namespace quvo::bench
