// SPDX-License-Identifier: MIT
// How a row's measured value becomes a bar width and a caption, set on the view and
// kept in the run's record alike.
#pragma once

#include "bench/report.h"
#include "bench/rows.h"
#include "bench/run_view.h"
#include "runtime/clock.h"
#include "runtime/number_format.h"

#include <cstdint>

namespace quvo::bench {

class ResultRows {
public:
    ResultRows(RunView& view, RunRecord& record, runtime::Clock& clock, runtime::NumberSeparators separators);

    // Empty caption, a bar one pixel wide.
    void reset(int row);
    // A time row: the seconds since start, read from the clock once for the bar and
    // again for the caption, which therefore can show a little more. bytes: what the
    // row moved, for the record.
    void showElapsed(int row, double start, std::uint64_t bytes = 0);
    // count per elapsed second, the clock read once for the bar and again for the caption.
    void showRate(int row, int count, double start, std::uint64_t bytes = 0);
    // count per a known number of seconds; no clock reading.
    void showFixedRate(int row, int count, double seconds, std::uint64_t bytes = 0, CutShort cut = CutShort::No,
        const WindowProgress& progress = {});

private:
    // Each of the two is skipped when its value cannot be computed (a division by a
    // zero elapsed time): the bar or caption keeps what it showed.
    void setBar(int row, double value);
    void setCaption(int row, double value);
    void setMeasurement(int row, const Measurement& measured);

    RunView& view_;
    RunRecord& record_;
    runtime::Clock& clock_;
    runtime::NumberSeparators separators_;
};

} // namespace quvo::bench
