// SPDX-License-Identifier: MIT
// quvo-diskspeed-timeline: one complete headless run, timed section by section. A
// row's section runs from its start time to the moment its bar is set, so it holds the
// row's close (for the sustained write, the close that forces its last block to the
// medium). Everything else the run and the program do (resets, checks, displays,
// pumps, the console's own output) lies outside the nine sections and is summed.
//
// Usage: quvo-diskspeed-timeline [--json] [DIRECTORY]
#include "bench/measurement_run.h"
#include "bench/rows.h"
#include "cli/console_view.h"
#include "cli/headless.h"
#include "runtime/clock.h"
#include "runtime/stop.h"

#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace quvo::benchmarks {
namespace {

// The sustained write: its loop ends on a clock test, and its close follows.
constexpr auto kSustainedRow = static_cast<std::size_t>(bench::rowOf(bench::Action::SustainedWrite));

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Section {
    double start = 0;
    double loopEnd = 0; // the last clock reading before the bar: where the close begins
    double end = 0;     // the bar is set
    bool measured = false;
};

// The run's clock. The first reading after the view arms it is a row's start time.
class TimelineClock final : public runtime::Clock {
public:
    double seconds() override
    {
        last_ = now();
        if (armed_) {
            armed_ = false;
            started_ = last_;
        }
        return last_;
    }
    void arm() { armed_ = true; }
    double started() const { return started_; }
    double last() const { return last_; }

private:
    bool armed_ = false;
    double started_ = 0;
    double last_ = 0;
};

// The headless front end's own view, with each row's section noted as it passes: the
// run says when a row starts, the next reading of the clock is its start time, and
// the row's bar ends it.
class TimelineView final : public bench::RunView {
public:
    TimelineView(cli::ConsoleView& console, TimelineClock& clock)
        : console_(console)
        , clock_(clock)
    {
    }

    std::string driveText() override { return console_.driveText(); }
    void setStatusText(std::string_view text) override { console_.setStatusText(text); }
    void setBarWidth(int row, float twips) override
    {
        if (row == measuring_) {
            Section& section = sections_[static_cast<std::size_t>(row)];
            section.end = now();
            section.start = clock_.started();
            section.loopEnd = clock_.last();
            section.measured = true;
            measuring_ = -1;
        }
        console_.setBarWidth(row, twips);
    }
    void setResultText(int row, std::string_view text) override { console_.setResultText(row, text); }
    void pumpEvents() override { console_.pumpEvents(); }
    const runtime::StopFlag& stopFlag() override { return console_.stopFlag(); }
    void rowStarted(int row) override
    {
        console_.rowStarted(row);
        measuring_ = row;
        clock_.arm();
    }
    void rowChanged(int row) override { console_.rowChanged(row); }

    const std::array<Section, bench::kRowCount>& sections() const { return sections_; }

private:
    cli::ConsoleView& console_;
    TimelineClock& clock_;
    std::array<Section, bench::kRowCount> sections_{};
    int measuring_ = -1;
};

// What lies between the sections, in order: before row 0, between rows, after row 8.
struct Gaps {
    std::array<double, bench::kRowCount + 1> seconds{};
    double sections = 0;
};

Gaps gapsOf(const std::array<Section, bench::kRowCount>& sections, double runStart, double runEnd)
{
    Gaps gaps;
    double previousEnd = runStart;
    for (std::size_t row = 0; row < sections.size(); ++row) {
        gaps.seconds[row] = sections[row].start - previousEnd;
        gaps.sections += sections[row].end - sections[row].start;
        previousEnd = sections[row].end;
    }
    gaps.seconds[sections.size()] = runEnd - previousEnd;
    return gaps;
}

void printTable(const std::array<Section, bench::kRowCount>& sections, const Gaps& gaps, double beforeRun,
    double afterRun, double program)
{
    double between = 0;
    for (double gap : gaps.seconds)
        between += gap;
    std::printf("\n%-4s %-12s %s\n", "row", "seconds", "caption");
    for (std::size_t row = 0; row < sections.size(); ++row) {
        const Section& s = sections[row];
        std::printf("%-4zu %-12.6f %s\n", row, s.end - s.start,
            std::string(bench::rowSpec(static_cast<int>(row)).caption).c_str());
    }
    const Section& sustained = sections[kSustainedRow];
    std::printf("row %zu's close, within its section %8.6f s\n", kSustainedRow, sustained.end - sustained.loopEnd);
    std::printf("measured sections          %12.6f s\n", gaps.sections);
    std::printf("outside them, in the run   %12.6f s (before row 0 %.6f, after row 8 %.6f)\n", between,
        gaps.seconds.front(), gaps.seconds.back());
    std::printf("outside them, in the program %10.6f s (before the run %.6f, after it %.6f)\n",
        between + beforeRun + afterRun, beforeRun, afterRun);
    std::printf("whole program              %12.6f s\n", program);
}

void printJson(const std::array<Section, bench::kRowCount>& sections, const Gaps& gaps, double beforeRun,
    double afterRun, double program)
{
    using nlohmann::json;
    double between = 0;
    for (double gap : gaps.seconds)
        between += gap;
    json rows = json::array();
    for (std::size_t row = 0; row < sections.size(); ++row)
        rows.push_back({{"row", row}, {"name", bench::rowSpec(static_cast<int>(row)).caption},
            {"seconds", sections[row].end - sections[row].start}});
    const Section& sustained = sections[kSustainedRow];
    const json report = {{"rows", rows}, {"sustained_close_seconds", sustained.end - sustained.loopEnd},
        {"sections_seconds", gaps.sections}, {"gaps_seconds", gaps.seconds}, {"outside_run_seconds", between},
        {"before_run_seconds", beforeRun}, {"after_run_seconds", afterRun},
        {"outside_program_seconds", between + beforeRun + afterRun}, {"program_seconds", program}};
    std::printf("%s\n", report.dump().c_str());
}

int run(int argc, char** argv)
{
    const double programStart = now();
    bool json = false;
    std::string directory = ".";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--json")
            json = true;
        else
            directory = argument;
    }
    const cli::Target target = cli::prepareTarget(directory);
    if (!target.problem.empty()) {
        std::fprintf(stderr, "quvo-diskspeed-timeline: %s\n", target.problem.c_str());
        return target.status;
    }
    const runtime::StopSignals stopSignals;
    cli::ConsoleView console(
        target.driveText, {.lines = !json, .bars = true, .progress = false}, stdout, stopSignals.flag());
    TimelineClock clock;
    TimelineView view(console, clock);
    bench::MeasurementRun measurementRun(view, clock, runtime::NumberSeparators{});
    const double runStart = now();
    const bench::RunOutcome outcome = measurementRun.start();
    const double runEnd = now();
    if (outcome != bench::RunOutcome::Completed) {
        std::fprintf(stderr, "quvo-diskspeed-timeline: %s\n", measurementRun.lastRun().status().c_str());
        return 1;
    }
    if (!json)
        std::printf("%s\n", measurementRun.lastRun().status().c_str());
    const Gaps gaps = gapsOf(view.sections(), runStart, runEnd);
    const double afterRun = now() - runEnd;
    const double program = now() - programStart;
    if (json)
        printJson(view.sections(), gaps, runStart - programStart, afterRun, program);
    else
        printTable(view.sections(), gaps, runStart - programStart, afterRun, program);
    return 0;
}

} // namespace
} // namespace quvo::benchmarks

int main(int argc, char** argv)
{
    return quvo::benchmarks::run(argc, argv);
}
