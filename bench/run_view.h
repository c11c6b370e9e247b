// SPDX-License-Identifier: MIT
// What the measurement run needs of a window: the drive list's selection, the status
// line, each row's bar and result, its event loop, and a way to stop the run. The
// window, the headless front end and the tests each implement it. What the run measured
// beyond the bar and the caption is in its record (MeasurementRun::lastRun()), which a
// front end reads when told a row's record changed.
#pragma once

#include "runtime/stop.h"

#include <string>
#include <string_view>

namespace quvo::bench {

class RunView {
public:
    virtual ~RunView() = default;

    // The selected entry of the drive list.
    virtual std::string driveText() = 0;
    virtual void setStatusText(std::string_view text) = 0;
    // Row 0 to 8. Twips: 1/1440 inch, 15 per pixel at 96 dpi.
    virtual void setBarWidth(int row, float twips) = 0;
    virtual void setResultText(int row, std::string_view text) = 0;
    // Lets the window repaint and take input. Called only between measurements.
    virtual void pumpEvents() = 0;
    // The run's one stop: read after every pump and between blocks of file work. Raised
    // (by the view at a pump, or from anywhere else: a signal, another thread), it ends
    // the run within a block, the row in progress abandoned and its test files removed.
    virtual const runtime::StopFlag& stopFlag() = 0;
    // The row is about to be measured: nothing the view does here is timed.
    virtual void rowStarted(int /*row*/) { }
    // The row's record changed: its figures once its bar and caption are set, then how
    // its data met the device, told after the row, since looking at the cache takes time
    // of its own.
    virtual void rowChanged(int /*row*/) { }
};

} // namespace quvo::bench
