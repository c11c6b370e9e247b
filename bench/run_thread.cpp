// SPDX-License-Identifier: MIT
#include "bench/run_thread.h"

#include <string>
#include <utility>

namespace quvo::bench {

// The run's view, on the run's thread: every call becomes a task for the window's.
class RunThread::Relay final : public RunView {
public:
    explicit Relay(RunThread& owner)
        : owner_(owner)
    {
    }

    std::string driveText() override
    {
        std::string text;
        owner_.call([this, &text] { text = owner_.window_.driveText(); }, /*untilStopped=*/false);
        return text;
    }
    // The window's copy of the record is brought up to date before the window hears of
    // the change: a status comes at the start and the end of a run, and a row's start
    // is never timed, so the whole record is copied then; a row's change comes between a
    // row's clock readings, and only the row is.
    void setStatusText(std::string_view text) override
    {
        owner_.post([this, text = std::string(text), record = owner_.run_.lastRun()] {
            owner_.windowRecord_ = record;
            owner_.window_.setStatusText(text);
        });
    }
    void setBarWidth(int row, float twips) override
    {
        owner_.post([this, row, twips] { owner_.window_.setBarWidth(row, twips); });
    }
    void setResultText(int row, std::string_view text) override
    {
        owner_.post([this, row, text = std::string(text)] { owner_.window_.setResultText(row, text); });
    }
    // A stop asked for meanwhile, by the window at its pump or from anywhere else, is the
    // run's answer to the pump.
    void pumpEvents() override
    {
        if (owner_.stop_->raised())
            return;
        owner_.call(
            [this] {
                if (!owner_.stop_->raised())
                    owner_.window_.pumpEvents();
            },
            /*untilStopped=*/true);
    }
    const runtime::StopFlag& stopFlag() override { return *owner_.stop_; }
    void rowStarted(int row) override
    {
        owner_.post([this, row, record = owner_.run_.lastRun()] {
            owner_.windowRecord_ = record;
            owner_.window_.rowStarted(row);
        });
    }
    void rowChanged(int row) override
    {
        owner_.post([this, row, changed = owner_.run_.lastRun().rows()[static_cast<std::size_t>(row)]] {
            owner_.windowRecord_.setRow(row, changed);
            owner_.window_.rowChanged(row);
        });
    }

private:
    RunThread& owner_;
};

RunThread::RunThread(
    RunView& window, runtime::Clock& clock, runtime::NumberSeparators separators, std::function<void()> wake)
    : window_(window)
    , wake_(std::move(wake))
    , relay_(std::make_unique<Relay>(*this))
    , run_(*relay_, clock, std::move(separators))
    , stop_(std::make_unique<runtime::StopFlag>())
{
}

RunThread::~RunThread()
{
    stopAndWait();
}

bool RunThread::start()
{
    if (running_)
        return false;
    stop_ = std::make_unique<runtime::StopFlag>();
    running_ = true;
    thread_ = std::thread([this] { runOnThread(); });
    return true;
}

void RunThread::runOnThread()
{
    (void)run_.start();
    post([this] { end(); });
}

// The last task of a run: its thread has nothing left to do but return.
void RunThread::end()
{
    thread_.join();
    running_ = false;
}

void RunThread::stop()
{
    if (!running_)
        return;
    stop_->raise();
    // Taken and let go, so that a call waiting for a pump cannot miss the stop between
    // its look at the flag and its wait.
    {
        const std::lock_guard lock(mutex_);
    }
    changed_.notify_all();
}

// The run's last task ends it, so waiting for tasks is waiting for the end.
void RunThread::stopAndWait()
{
    stop();
    while (running_) {
        runTasks();
        if (!running_)
            return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !tasks_.empty(); });
    }
}

void RunThread::runTasks()
{
    for (;;) {
        Task task;
        {
            const std::lock_guard lock(mutex_);
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

void RunThread::post(Task task)
{
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = tasks_.empty();
        tasks_.push_back(std::move(task));
    }
    changed_.notify_all();
    if (first)
        wake_();
}

void RunThread::call(Task task, bool untilStopped)
{
    // Shared with the task, which may run after a stop has let this call go on.
    auto done = std::make_shared<bool>(false);
    post([this, done, task = std::move(task)] {
        task();
        {
            const std::lock_guard lock(mutex_);
            *done = true;
        }
        changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return *done || (untilStopped && stop_->raised()); });
}

} // namespace quvo::bench
