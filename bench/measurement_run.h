// SPDX-License-Identifier: MIT
// The measurement run: nine timed file-system measurements on the drive that the view
// has selected, each shown in its result row as soon as it is known.
//
// The run is synchronous and single-threaded; it reaches the window only through
// RunView, and lets the window's events through only between measurements. A
// measured file operation that fails stops the run with a message in the status
// line, and the run removes its test files whenever it stops early. It keeps the
// record of what it did, which the front ends only show.
#pragma once

#include "bench/report.h"
#include "bench/result_rows.h"
#include "bench/run_view.h"
#include "runtime/clock.h"
#include "runtime/number_format.h"

namespace quvo::bench {

enum class RunOutcome {
    Completed,
    Failed,  // the status line says why
    Stopped, // the view asked for it
    Ignored, // a run was already in progress
};

class MeasurementRun {
public:
    MeasurementRun(RunView& view, runtime::Clock& clock, runtime::NumberSeparators separators);

    // Runs to the end, or until a failure or a stop request. A call made while a run
    // is in progress (from one of its pumps) is ignored.
    RunOutcome start();
    bool isRunning() const { return running_; }

    // The run in progress or the last one, from the moment it read the drive text;
    // before the first, a record of no run.
    const RunRecord& lastRun() const { return record_; }

private:
    RunView& view_;
    runtime::Clock& clock_;
    RunRecord record_;
    ResultRows rows_;
    bool running_ = false;
};

} // namespace quvo::bench
