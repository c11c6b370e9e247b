// SPDX-License-Identifier: MIT
// The system's requests to stop (SIGINT, SIGTERM, SIGHUP) handled as a close of the
// window, so that a run in progress stops and removes its test files first.
#pragma once

#include <QtGlobal>

#include <memory>

class QWidget;

namespace quvo::app {

// While it lives, a stop request closes window from the event loop. One at a time.
class CloseOnStopSignals {
public:
    explicit CloseOnStopSignals(QWidget& window);
    ~CloseOnStopSignals();
    Q_DISABLE_COPY_MOVE(CloseOnStopSignals)

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace quvo::app
