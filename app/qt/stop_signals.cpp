// SPDX-License-Identifier: MIT
#include "app/qt/stop_signals.h"

#include "app/qt/drive_speed_window.h"

#include <QSocketNotifier>

namespace quvo::app {

CloseOnStopSignals::CloseOnStopSignals(DriveSpeedWindow& window)
    : window_(window)
{
    const int wake = signals_.wakeHandle();
    if (wake < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wake, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &window_, [this] {
        signals_.drainWake();
        window_.close();
    });
}

CloseOnStopSignals::~CloseOnStopSignals()
{
    notifier_.reset();
}

} // namespace quvo::app
