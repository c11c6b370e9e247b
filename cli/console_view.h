// SPDX-License-Identifier: MIT
// The measurement run's view on a terminal: status texts and one line per row as the
// run goes, or one JSON report at the end.
#pragma once

#include "bench/result_rows.h"
#include "bench/run_view.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace quvo::cli {

// One row as the window would show it.
struct ShownRow {
    std::string text;
    float barTwips = bench::kResetTwips;
    double value = NAN;
    bool measured = false;
};

class ConsoleView final : public bench::RunView {
public:
    // Row lines go to out as they come unless json is set. stop, where given, is read
    // between blocks and at every pump.
    ConsoleView(std::string driveText, bool json, std::FILE* out, const runtime::StopFlag* stop);

    std::string driveText() override { return driveText_; }
    void setStatusText(std::string_view text) override;
    void setBarWidth(int row, float twips) override;
    void setResultText(int row, std::string_view text) override;
    void pumpEvents() override;
    bool stopRequested() override { return stop_ != nullptr && stop_->raised(); }
    const runtime::StopFlag* stopFlag() override { return stop_; }
    void rowShown(int row, double value) override;

    // The last status text; the run's final one is not printed by the view, so that
    // the front end can send a failure to stderr.
    const std::string& status() const { return status_; }
    const std::array<ShownRow, bench::kRowCount>& rows() const { return rows_; }

private:
    std::string driveText_;
    bool json_;
    std::FILE* out_;
    const runtime::StopFlag* stop_;
    std::string status_;
    bool statusPrinted_ = true;
    std::array<ShownRow, bench::kRowCount> rows_{};
};

// "小文件写入速度 (1MB):        0.012 秒  │██░░…│": caption, result and a text bar of
// kBarCells cells at the window's scale (a full frame is 3705 twips), cut off like
// the window's bar at the frame's edge.
inline constexpr int kBarCells = 40;
std::string rowLine(std::string_view caption, std::string_view result, float barTwips);

// Terminal columns of UTF-8 text: East Asian wide characters take two.
int displayWidth(std::string_view text);

} // namespace quvo::cli
