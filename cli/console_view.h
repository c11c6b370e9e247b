// SPDX-License-Identifier: MIT
// The measurement run's view on a terminal: status texts and one line per row as the
// run goes, and a live line on stderr while a row is measured. What the run did beyond
// that is in its own record (MeasurementRun::lastRun()).
#pragma once

#include "bench/rows.h"
#include "bench/run_view.h"
#include "cli/progress_line.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string>

namespace quvo::cli {

struct ConsoleStyle {
    bool lines = true;     // status texts and row lines on out as they come
    bool bars = true;      // a text bar beside each row: for a terminal, not a pipe
    bool progress = false; // the live line on stderr (a terminal)
};

class ConsoleView final : public bench::RunView {
public:
    // stop is the run's: the view raises it too, once out cannot be written, since the
    // run's lines would be lost.
    ConsoleView(std::string driveText, ConsoleStyle style, std::FILE* out, runtime::StopFlag& stop);

    std::string driveText() override { return driveText_; }
    // Printed at the next pump: the run's last status text is not, so that the front
    // end can send a failure to stderr.
    void setStatusText(std::string_view text) override;
    void setBarWidth(int row, float twips) override { bars_.at(static_cast<std::size_t>(row)) = twips; }
    void setResultText(int row, std::string_view text) override { results_.at(static_cast<std::size_t>(row)) = text; }
    void pumpEvents() override;
    const runtime::StopFlag& stopFlag() override { return stop_; }
    void rowStarted(int row) override;
    // The row's line, once it has its result.
    void rowChanged(int row) override;

    // The error number of the first write to out that failed; 0 while none has.
    int outputError() const { return outputError_; }

private:
    // Through the live line, which is wiped first.
    template <class Print>
    void print(Print&& print);

    std::string driveText_;
    ConsoleStyle style_;
    std::FILE* out_;
    runtime::StopFlag& stop_;
    std::string status_;
    std::array<std::string, bench::kRowCount> results_{};
    std::array<float, bench::kRowCount> bars_{};
    int lastLine_ = -1; // the last row whose line is out
    int outputError_ = 0;
    std::optional<ProgressLine> progress_;
};

// "小文件写入速度 (1MB):        0.012 秒  │██░░…│": caption, result and a text bar of
// kBarCells cells at the window's scale (a full frame is 3705 twips), cut off like
// the window's bar at the frame's edge. Without the bar for a pipe.
inline constexpr int kBarCells = 40;
std::string rowLine(std::string_view caption, std::string_view result, float barTwips, bool bar = true);

// Terminal columns of UTF-8 text: East Asian wide characters and emoji take two,
// combining marks none.
int displayWidth(std::string_view text);

} // namespace quvo::cli
