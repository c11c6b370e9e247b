// SPDX-License-Identifier: MIT
// Stop signals on POSIX systems: the handler only stores the signal, raises the flag
// and writes a byte into a pipe, all of which are safe in a handler.
#include "runtime/stop.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quvo::runtime {
namespace {

constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};
constexpr std::array kIgnoredSignals = {SIGPIPE, SIGXFSZ};

// What the handler touches: only lock-free atomics.
struct Raised {
    StopFlag flag;
    std::atomic<int> firstSignal{0};
    int wakeFd = -1;
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

// The live instance's; there is one at a time.
std::atomic<Raised*> current{nullptr};
static_assert(std::atomic<Raised*>::is_always_lock_free, "read in a signal handler");

extern "C" void onStopSignal(int signal)
{
    Raised* raised = current.load();
    if (raised == nullptr)
        return;
    const int savedErrno = errno;
    int none = 0;
    raised->firstSignal.compare_exchange_strong(none, signal);
    raised->flag.raise();
    const char byte = 1;
    // A full pipe already holds a wake-up.
    if (raised->wakeFd >= 0 && ::write(raised->wakeFd, &byte, 1) < 0) { }
    errno = savedErrno;
}

} // namespace

struct StopSignals::Saved {
    Raised raised;
    std::array<int, 2> pipe{-1, -1};
    std::array<struct sigaction, kStopSignals.size()> stop{};
    std::array<struct sigaction, kIgnoredSignals.size()> ignored{};
};

StopSignals::StopSignals()
    : saved_(std::make_unique<Saved>())
{
    if (::pipe2(saved_->pipe.data(), O_CLOEXEC | O_NONBLOCK) == 0)
        saved_->raised.wakeFd = saved_->pipe[1];
    current = &saved_->raised;

    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A signal must not fail the file operation it interrupts.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &action, &saved_->stop[i]);
    struct sigaction ignore { };
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (std::size_t i = 0; i < kIgnoredSignals.size(); ++i)
        ::sigaction(kIgnoredSignals[i], &ignore, &saved_->ignored[i]);
}

StopSignals::~StopSignals()
{
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &saved_->stop[i], nullptr);
    for (std::size_t i = 0; i < kIgnoredSignals.size(); ++i)
        ::sigaction(kIgnoredSignals[i], &saved_->ignored[i], nullptr);
    current = nullptr;
    for (const int fd : saved_->pipe)
        if (fd >= 0)
            ::close(fd);
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
    return saved_->pipe[0];
}

void StopSignals::drainWake() const
{
    std::array<char, 64> drained{};
    if (saved_->pipe[0] >= 0)
        while (::read(saved_->pipe[0], drained.data(), drained.size()) > 0) { }
}

} // namespace quvo::runtime
