// SPDX-License-Identifier: MIT
// The window program's start: what main does between making the application and
// running its loop, kept in one place so that the start-up probe times the very same.
#pragma once

#include "app/qt/drive_list_filler.h"
#include "app/qt/drive_speed_window.h"
#include "app/qt/stop_signals.h"
#include "runtime/clock.h"

#include <QtGlobal>

#include <optional>

class QApplication;

namespace quvo::app {

// The look fixed, the window shown at once with the current directory's entry, stop
// signals turned into a close, and the other volumes asked on a thread of their own:
// they join the list when they have answered. Lives as long as the program's loop.
class WindowProgram {
public:
    explicit WindowProgram(QApplication& app);
    Q_DISABLE_COPY_MOVE(WindowProgram)

    DriveSpeedWindow& window() { return *window_; }

private:
    runtime::SteadyClock clock_;
    std::optional<DriveSpeedWindow> window_;
    std::optional<CloseOnStopSignals> stopSignals_;
    std::optional<DriveListFiller> drives_;
};

} // namespace quvo::app
