// SPDX-License-Identifier: MIT
// Stop requests on Windows: the console's control events. The system calls the handler
// on a thread of its own, which raises the flag. For Ctrl-C and Ctrl-Break the process
// goes on and the run stops at its next block; for the console's close, logoff and
// shutdown the process ends as soon as the handler returns, so the handler waits
// (within the few seconds the system allows) until the run is over and its files are
// removed.
#include "runtime/stop.h"

#include <atomic>
#include <csignal>
#include <windows.h>

namespace quvo::runtime {
namespace {

// Less than the five seconds after which the system ends a process that holds up the
// console's close.
constexpr DWORD kCloseGraceMs = 4500;

struct Raised {
    StopFlag flag;
    std::atomic<int> firstSignal{0};
};

// The live instance's; there is one at a time. Handlers count themselves in, so that the
// destructor frees nothing that a handler still reads.
std::atomic<Raised*> current{nullptr};
std::atomic<int> handlersRunning{0};
// Set when the live instance ends: a handler waiting for the run to finish goes on.
std::atomic<HANDLE> ended{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    const int signal = closing ? SIGTERM : SIGINT;
    ++handlersRunning;
    Raised* raised = current.load();
    if (raised != nullptr) {
        int none = 0;
        raised->firstSignal.compare_exchange_strong(none, signal);
        raised->flag.raise();
    }
    const HANDLE done = ended.load();
    --handlersRunning;
    if (raised == nullptr)
        return FALSE; // the next handler, in the end the system's: the process ends
    if (closing && done != nullptr)
        ::WaitForSingleObject(done, kCloseGraceMs);
    return TRUE;
}

} // namespace

struct StopSignals::Saved {
    Raised raised;
    HANDLE ended = nullptr;
};

StopSignals::StopSignals()
    : saved_(std::make_unique<Saved>())
{
    // Manual reset: every waiting handler goes on once it is set.
    saved_->ended = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended = saved_->ended;
    current = &saved_->raised;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    current = nullptr;
    // A handler that counted itself in before current was cleared may still hold the
    // old value; it is done with it once it counts itself out.
    while (handlersRunning.load() != 0)
        ::Sleep(1);
    if (saved_->ended != nullptr)
        ::SetEvent(saved_->ended);
    // The event stays: a handler may still wait on it until the process ends, which
    // follows at once after a close.
    ended = nullptr;
}

StopFlag& StopSignals::flag() const
{
    return saved_->raised.flag;
}

int StopSignals::signal() const
{
    return saved_->raised.firstSignal;
}

int StopSignals::wakeHandle() const
{
    return -1;
}

void StopSignals::drainWake() const
{
}

} // namespace quvo::runtime
