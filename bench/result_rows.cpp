// SPDX-License-Identifier: MIT
#include "bench/result_rows.h"

#include "bench/wording.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace quvo::bench {

ResultRows::ResultRows(RunView& view, RunRecord& record, runtime::Clock& clock, runtime::NumberSeparators separators)
    : view_(view)
    , record_(record)
    , clock_(clock)
    , separators_(std::move(separators))
{
}

// The record is started afresh, its rows reset, once the run reads the drive text.
void ResultRows::reset(int row)
{
    view_.setResultText(row, "");
    view_.setBarWidth(row, kResetTwips);
}

void ResultRows::showElapsed(int row, double start, std::uint64_t bytes)
{
    setBar(row, clock_.seconds() - start);
    const double value = clock_.seconds() - start;
    setCaption(row, value);
    setMeasurement(row, {.value = value, .seconds = value, .bytes = bytes});
}

void ResultRows::showRate(int row, int count, double start, std::uint64_t bytes)
{
    setBar(row, count / (clock_.seconds() - start));
    const double seconds = clock_.seconds() - start;
    const double value = count / seconds;
    setCaption(row, value);
    setMeasurement(row, {.value = value, .seconds = seconds, .bytes = bytes});
}

void ResultRows::showFixedRate(
    int row, int count, double seconds, std::uint64_t bytes, CutShort cut, const WindowProgress& progress)
{
    const double value = count / seconds;
    setBar(row, value);
    setCaption(row, value);
    setMeasurement(row, {.value = value, .seconds = seconds, .bytes = bytes, .cut = cut, .progress = progress});
}

void ResultRows::setBar(int row, double value)
{
    // The factor first, then times the value, as the scale is defined.
    const double factor = kFullScaleTwips / rowSpec(row).fullScale;
    const double twips = factor * value;
    if (!std::isfinite(twips) || std::fabs(twips) > std::numeric_limits<float>::max())
        return;
    record_.setBarWidth(row, static_cast<float>(twips));
    view_.setBarWidth(row, static_cast<float>(twips));
}

void ResultRows::setCaption(int row, double value)
{
    if (!std::isfinite(value))
        return;
    const bool time = rowSpec(row).kind == RowKind::Time;
    const auto pattern = time ? runtime::NumberPattern::ThreeDecimals : runtime::NumberPattern::GroupedWhole;
    const std::string caption
        = runtime::formatNumber(value, pattern, separators_) + std::string(time ? kSecondsUnit : kSpeedUnit);
    record_.setResultText(row, caption);
    view_.setResultText(row, caption);
}

void ResultRows::setMeasurement(int row, const Measurement& measured)
{
    record_.setMeasurement(row, measured);
    view_.rowChanged(row);
}

} // namespace quvo::bench
