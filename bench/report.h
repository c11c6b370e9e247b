// SPDX-License-Identifier: MIT
// What a run showed and measured, kept for a report worth keeping: the window copies it
// to the clipboard as text, the headless front end writes it for scripts.
#pragma once

#include "bench/result_rows.h"
#include "bench/run_view.h"

#include <array>
#include <chrono>
#include <string>
#include <string_view>

namespace quvo::bench {

struct RowRecord {
    bool shown = false;
    std::string text; // the caption, as the window shows it
    float barTwips = kResetTwips;
    RowReport report;
};

// Filled by a view as the run sets its controls; read once the run is over.
class RunRecord {
public:
    // A run starts on the drive its view names: the moment is taken, earlier rows go.
    void start(std::string driveText);
    void setStatusText(std::string_view text) { status_ = text; }
    void setBarWidth(int row, float twips) { rows_.at(static_cast<std::size_t>(row)).barTwips = twips; }
    void setResultText(int row, std::string_view text) { rows_.at(static_cast<std::size_t>(row)).text = text; }
    void rowShown(int row, const RowReport& report);

    std::chrono::system_clock::time_point started() const { return started_; }
    const std::string& driveText() const { return driveText_; }
    const std::string& status() const { return status_; }
    const std::array<RowRecord, kRowCount>& rows() const { return rows_; }

private:
    std::chrono::system_clock::time_point started_{};
    std::string driveText_;
    std::string status_;
    std::array<RowRecord, kRowCount> rows_{};
};

// "2026-12-07T11:02:03Z": ISO 8601, UTC, to the second.
std::string utcTimestamp(std::chrono::system_clock::time_point when);

// The program and its version, the date, the drive, each row's caption, result and the
// bytes it moved, and the status: plain text, lines ending in LF.
std::string plainTextReport(const RunRecord& record);

} // namespace quvo::bench
