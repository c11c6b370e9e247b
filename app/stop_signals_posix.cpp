// SPDX-License-Identifier: MIT
// Stop signals on POSIX systems: the handler only writes a byte into a pipe, which
// the event loop watches.
#include "app/stop_signals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quvo::app {
namespace {

constexpr std::array kStopSignals = {SIGINT, SIGTERM, SIGHUP};

// The pipe's write end, for the handler; -1 while no instance lives.
volatile std::sig_atomic_t wakeFd = -1;

extern "C" void onStopSignal(int /*signal*/)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up.
    if (::write(wakeFd, &byte, 1) < 0) { }
    errno = savedErrno;
}

} // namespace

struct CloseOnStopSignals::State {
    std::array<int, 2> pipe{-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    std::array<struct sigaction, kStopSignals.size()> previous{};
};

CloseOnStopSignals::CloseOnStopSignals(QWidget& window)
    : state_(std::make_unique<State>())
{
    if (::pipe2(state_->pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    wakeFd = state_->pipe[1];
    const int readFd = state_->pipe[0];
    state_->notifier = std::make_unique<QSocketNotifier>(readFd, QSocketNotifier::Read);
    QObject::connect(state_->notifier.get(), &QSocketNotifier::activated, &window, [&window, readFd] {
        std::array<char, 64> drained{};
        while (::read(readFd, drained.data(), drained.size()) > 0) { }
        window.close();
    });

    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A signal must not fail the file operation it interrupts.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &action, &state_->previous[i]);
}

CloseOnStopSignals::~CloseOnStopSignals()
{
    if (state_->pipe[0] < 0)
        return;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i)
        ::sigaction(kStopSignals[i], &state_->previous[i], nullptr);
    wakeFd = -1;
    state_->notifier.reset();
    ::close(state_->pipe[0]);
    ::close(state_->pipe[1]);
}

} // namespace quvo::app
