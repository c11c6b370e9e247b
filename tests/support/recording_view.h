// SPDX-License-Identifier: MIT
// A view for driving the run and the result rows without a window.
#pragma once

#include "bench/report.h"
#include "bench/rows.h"
#include "bench/run_view.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace quvo::test {

// Keeps what the run sets, as the window's controls would, and lets a test act at
// every pump.
class RecordingView : public bench::RunView {
public:
    std::string drive;
    std::vector<std::string> statuses;
    std::array<std::string, bench::kRowCount> results{};
    std::array<float, bench::kRowCount> bars{};
    std::array<double, bench::kRowCount> values{};
    std::array<bench::RowReport, bench::kRowCount> reports{};
    int lastShownRow = -1;
    std::vector<int> rowsStarted;
    int pumps = 0;
    // Called at every pump, after it is counted.
    std::function<void()> onPump;
    // Asked after every pump.
    std::function<bool()> stopWhen = [] { return false; };
    // Read by the run between blocks.
    const runtime::StopFlag* flag = nullptr;

    std::string driveText() override { return drive; }
    void setStatusText(std::string_view text) override { statuses.emplace_back(text); }
    void setBarWidth(int row, float twips) override { bars.at(static_cast<std::size_t>(row)) = twips; }
    void setResultText(int row, std::string_view text) override { results.at(static_cast<std::size_t>(row)) = text; }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    bool stopRequested() override { return stopWhen(); }
    const runtime::StopFlag* stopFlag() override { return flag; }
    void rowStarted(int row) override { rowsStarted.push_back(row); }
    void rowShown(int row, const bench::RowRecord& shown) override
    {
        lastShownRow = row;
        values.at(static_cast<std::size_t>(row)) = shown.report.value;
        reports.at(static_cast<std::size_t>(row)) = shown.report;
    }
};

} // namespace quvo::test
