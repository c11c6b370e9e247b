// SPDX-License-Identifier: MIT
// A view for driving the run and the result rows without a window.
#pragma once

#include "bench/rows.h"
#include "bench/run_view.h"

#include <array>
#include <functional>
#include <memory>
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
    // The last row whose record changed.
    int lastShownRow = -1;
    std::vector<int> rowsStarted;
    int pumps = 0;
    // Called at every pump, after it is counted.
    std::function<void()> onPump;
    // Asked at every pump, after onPump: true raises the stop.
    std::function<bool()> stopWhen = [] { return false; };
    // Read by the run after every pump and between blocks; a view assigned anew has a
    // fresh one.
    std::shared_ptr<runtime::StopFlag> stop = std::make_shared<runtime::StopFlag>();

    std::string driveText() override { return drive; }
    void setStatusText(std::string_view text) override { statuses.emplace_back(text); }
    void setBarWidth(int row, float twips) override { bars.at(static_cast<std::size_t>(row)) = twips; }
    void setResultText(int row, std::string_view text) override { results.at(static_cast<std::size_t>(row)) = text; }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump();
        if (stopWhen())
            stop->raise();
    }
    const runtime::StopFlag& stopFlag() override { return *stop; }
    void rowStarted(int row) override { rowsStarted.push_back(row); }
    void rowChanged(int row) override { lastShownRow = row; }
};

} // namespace quvo::test
