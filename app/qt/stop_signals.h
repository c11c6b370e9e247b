// SPDX-License-Identifier: MIT
// The system's requests to stop (SIGINT, SIGTERM, SIGHUP) handled as a close of the
// window, so that a run in progress stops and removes its test files first.
#pragma once

#include "runtime/stop.h"

#include <QtGlobal>

#include <memory>

class QSocketNotifier;

namespace quvo::app {

class DriveSpeedWindow;

// While it lives, a stop request stops the window's run within a block and closes
// the window from the event loop. One at a time.
class CloseOnStopSignals {
public:
    explicit CloseOnStopSignals(DriveSpeedWindow& window);
    ~CloseOnStopSignals();
    Q_DISABLE_COPY_MOVE(CloseOnStopSignals)

private:
    DriveSpeedWindow& window_;
    runtime::StopSignals signals_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace quvo::app
