// SPDX-License-Identifier: MIT
#include "cli/headless.h"

#include "bench/drives.h"
#include "bench/measurement_run.h"
#include "bench/wording.h"
#include "cli/console_view.h"
#include "cli/options.h"
#include "cli/report_json.h"
#include "cli/report_prometheus.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/designation.h"
#include "runtime/platform.h"
#include "runtime/stop.h"
#include "version.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace quvo::cli {
namespace {

constexpr int kExitSignalBase = 128;
constexpr std::string_view kProgram = bench::kCliPrefix;

void printHelp()
{
    runtime::printTo(stdout, "%s\n\n%s", bench::kCliUsage.data(), bench::kCliHelp.data());
}

int usageError(const std::string& message)
{
    runtime::printTo(stderr, "%s%s\n%s\n", kProgram.data(), message.c_str(), bench::kCliUsage.data());
    return kExitUsage;
}

// Paths from and to the program's UTF-8: std::filesystem reads a plain std::string in
// the system's code page on Windows, but char8_t text as UTF-8 everywhere.
std::filesystem::path pathOf(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string textOf(const std::filesystem::path& path)
{
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

int printDriveList()
{
    for (const std::string& entry : bench::offeredDrives().entries)
        runtime::printTo(stdout, "%s\n", entry.c_str());
    return 0;
}

int printPlan(const Target& target)
{
    const auto space = runtime::spaceOf(runtime::SystemPath(target.directory));
    if (!space) {
        runtime::printTo(
            stderr, "%s%s\n", kProgram.data(), bench::problemText(target.directory, space.error()).c_str());
        return kExitFailed;
    }
    runtime::printTo(stdout, "%s\n", bench::planText(target.directory, *space).c_str());
    return 0;
}

} // namespace

Target prepareTarget(const std::string& given)
{
    Target target;
    // A Windows path in its long form (\\?\C:\dir) is taken in its plain form, the only
    // one a drive letter resolves into.
    const std::string plain = runtime::plainPath(given);
    std::error_code error;
    const bool directory = std::filesystem::is_directory(pathOf(plain), error);
    if (error && error != std::errc::no_such_file_or_directory) {
        target.problem = bench::problemText(given, error);
        target.status = kExitFailed;
        return target;
    }
    if (!directory) {
        target.problem = std::string(bench::kNotADirectoryText) + given;
        target.status = kExitUsage;
        return target;
    }
    target.directory = textOf(std::filesystem::absolute(pathOf(plain)).lexically_normal());
    // The run names its files by the directory's designation. On Windows that is the
    // drive's letter, "x:", which names the drive's current directory: the directory
    // becomes it here, before the run, so that "x:DriveSpeedTest.txt" lies in it.
    if (const auto failed = runtime::designateDirectory(target.directory)) {
        target.problem = bench::problemText(target.directory, failed);
        target.status = kExitFailed;
        return target;
    }
    target.volume = runtime::volumeOf(target.directory);
    target.driveText = bench::driveTextOf(target.directory, target.volume);
    return target;
}

int runHeadless(std::span<const char* const> args)
{
    const ParsedArguments parsed = parseArguments(args);
    if (!parsed.error.empty())
        return usageError(parsed.error);
    const Options& options = parsed.options;
    if (options.version) {
        runtime::printTo(stdout, "%s\n", kVersionLine.data());
        return 0;
    }
    if (options.help) {
        printHelp();
        return 0;
    }
    if (options.list)
        return printDriveList();
    const Target target = prepareTarget(options.directory);
    if (target.status == kExitUsage)
        return usageError(target.problem);
    if (target.status != 0) {
        runtime::printTo(stderr, "%s%s\n", kProgram.data(), target.problem.c_str());
        return target.status;
    }
    if (options.plan)
        return printPlan(target);

    // For people on a terminal, bars and a live line while a row is measured; for a
    // pipe, plain numbers a script can read, without grouping separators.
    const bool terminal = runtime::isTerminal(stdout);
    const ConsoleStyle style{.lines = !options.json && !options.quiet,
        .bars = terminal,
        .progress = !options.quiet && runtime::isTerminal(stderr)};
    const runtime::NumberSeparators separators{.decimal = ".", .grouping = terminal && !options.json ? "," : ""};
    // A signal from here on stops the run, which removes its files, and then waits for
    // the reports: a console closed during the run (which ends the program once its
    // handler returns) leaves them whole or unwritten. Once they are out, a signal ends
    // the process as usual.
    const runtime::StopSignals stopSignals;
    int outputError = 0;
    bench::RunOutcome outcome{};
    std::optional<bench::RunRecord> record;
    {
        ConsoleView view(target.driveText, style, stdout, stopSignals.flag());
        runtime::SteadyClock clock;
        bench::MeasurementRun run(view, clock, separators);
        outcome = run.start();
        outputError = view.outputError();
        record = run.lastRun();
    } // and with the view, the live line
    const int signal = stopSignals.signal();
    const bool ok = outcome == bench::RunOutcome::Completed;
    const ReportContext context{.directory = target.directory, .ok = ok, .volume = target.volume};

    // Said once, whatever else is reported: a figure that may not be the device's, a
    // drive that slowed within the sustained write, a directory that could not be
    // locked, a link that holds the device back.
    if (const std::string caveat = bench::deviceCaveatText(*record); !caveat.empty())
        runtime::printTo(stderr, "%s%s\n", kProgram.data(), caveat.c_str());
    if (const std::string drop = bench::windowDropNoteText(*record); !drop.empty())
        runtime::printTo(stderr, "%s%s\n", kProgram.data(), drop.c_str());
    for (const std::string& note : bench::runNotes(*record))
        runtime::printTo(stderr, "%s%s\n", kProgram.data(), note.c_str());

    bool reported = true;
    if (!options.prometheus.empty()) {
        if (const auto error = writeWhole(options.prometheus, prometheusReport(*record, context))) {
            runtime::printTo(
                stderr, "%s%s\n", kProgram.data(), bench::reportNotWrittenText(options.prometheus, error).c_str());
            reported = false;
        }
    }
    if (options.json)
        runtime::printTo(stdout, "%s\n", jsonReport(*record, context).c_str());
    else if (ok && !options.quiet)
        runtime::printTo(stdout, "%s\n", record->status().c_str());
    // A report that could not be written is a failure, not a success with nothing to show.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && outputError == 0)
        outputError = errno != 0 ? errno : EIO;
    if (outputError != 0) {
        runtime::printTo(
            stderr, "%s%s\n", kProgram.data(), bench::outputFailedText({outputError, std::generic_category()}).c_str());
        reported = false;
    }
    // A run stopped because its lines could not be written has said why above.
    if (!ok && !(outcome == bench::RunOutcome::Stopped && signal == 0 && outputError != 0))
        runtime::printTo(stderr, "%s\n", record->status().c_str());

    if (signal != 0)
        return kExitSignalBase + signal;
    return ok && reported ? 0 : kExitFailed;
}

} // namespace quvo::cli
