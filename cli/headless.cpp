// SPDX-License-Identifier: MIT
#include "cli/headless.h"

#include "bench/drives.h"
#include "bench/measurement_run.h"
#include "bench/target.h"
#include "cli/console_view.h"
#include "cli/options.h"
#include "cli/report_json.h"
#include "runtime/clock.h"
#include "runtime/console.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/stop.h"
#include "runtime/volumes.h"
#include "version.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace quvo::cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSignalBase = 128;

void printHelp()
{
    runtime::printTo(stdout,
        "%s\n\n"
        "在目录（默认为当前目录）中运行九项文件系统测试：小文件和大文件的写入与读取、\n"
        "3 秒持续写入及其读回、文件查找、复制和删除。两个测试文件在测试结束时删除。\n\n"
        "  --version 显示版本\n"
        "  --json   测试结束时输出一个 JSON 对象（字段见 docs/report.md），而不是逐行的结果\n"
        "  --quiet  测试过程中不输出任何行，只在失败时报告原因\n"
        "  --list   列出图形界面提供的磁盘（每行一个，第一个为默认选中的），然后退出\n"
        "  --help   显示本说明\n\n"
        "退出状态：0 测试完成，1 测试失败，2 用法错误，被信号中止时为 128 加信号值。\n",
        kUsage.data());
}

int usageError(const std::string& message)
{
    runtime::printTo(stderr, "quvo-diskspeed-cli：%s\n%s\n", message.c_str(), kUsage.data());
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

} // namespace

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
    std::error_code error;
    // A Windows path in its long form (\\?\C:\dir) is taken in its plain form, the only one a
    // drive letter resolves into.
    const std::string given = runtime::plainPath(options.directory);
    if (!std::filesystem::is_directory(pathOf(given), error))
        return usageError("不是目录：" + options.directory);
    const std::string directory = textOf(std::filesystem::absolute(pathOf(given)).lexically_normal());
    // The run names its files by the directory's designation. On Windows that is the
    // drive's letter, "x:", which names the drive's current directory: the directory
    // becomes it here, before the run, so that "x:DriveSpeedTest.txt" lies in it.
    if (const auto failed = runtime::designateDirectory(directory)) {
        const std::string reason = failed == runtime::Errc::designationElsewhere
            ? "驱动器号指向的不是这个目录，测试文件会写到别处"
            : failed.message();
        runtime::printTo(stderr, "quvo-diskspeed-cli：%s：%s\n", directory.c_str(), reason.c_str());
        return kExitFailed;
    }

    // For people on a terminal, bars and a live line while a row is measured; for a
    // pipe, plain numbers a script can read, without grouping separators.
    const bool terminal = runtime::isTerminal(stdout);
    const ConsoleStyle style{.lines = !options.json && !options.quiet,
        .bars = terminal,
        .progress = !options.quiet && runtime::isTerminal(stderr)};
    const runtime::NumberSeparators separators{.decimal = ".", .grouping = terminal && !options.json ? "," : ""};
    ReportContext context{.directory = directory, .volume = runtime::volumeOf(directory)};
    int signal = 0;
    bench::RunOutcome outcome{};
    std::optional<ConsoleView> view;
    {
        // A signal from here on stops the run, which removes its files; once the run
        // is over, a signal ends the process as usual.
        const runtime::StopSignals stopSignals;
        view.emplace(runtime::driveTextOf(directory), style, stdout, &stopSignals.flag());
        runtime::SteadyClock clock;
        bench::MeasurementRun run(*view, clock, separators);
        outcome = run.start();
        signal = stopSignals.signal();
    }
    const bench::RunRecord record = view->record();
    view.reset(); // and with it the live line
    context.ok = outcome == bench::RunOutcome::Completed;

    if (options.json)
        runtime::printTo(stdout, "%s\n", jsonReport(record, context).c_str());
    else if (context.ok && !options.quiet)
        runtime::printTo(stdout, "%s\n", record.status().c_str());
    if (!context.ok)
        runtime::printTo(stderr, "%s\n", record.status().c_str());
    std::fflush(stdout);

    if (signal != 0)
        return kExitSignalBase + signal;
    return outcome == bench::RunOutcome::Completed ? 0 : kExitFailed;
}

} // namespace quvo::cli
