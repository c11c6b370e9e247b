// SPDX-License-Identifier: MIT
// Every text the run and its reports put before the user, in the window's language, in
// one place: the status texts, why a run failed, how a drive is named in the drive
// list, and what a run will write.
#pragma once

#include "bench/report.h"
#include "runtime/platform.h"
#include "runtime/volumes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quvo::bench {

// The waiting message is followed directly by the target prefix.
inline constexpr std::string_view kWaitingText = "测试本地磁盘需要几分钟，请耐心等候... ";
inline constexpr std::string_view kCompletedText = "本地磁盘测试完成";
inline constexpr std::string_view kFailedText = "本地磁盘测试失败：";
inline constexpr std::string_view kStoppedText = "本地磁盘测试已中止";

// A result's unit after its number: seconds for a time row, KB a second for a speed row.
inline constexpr std::string_view kSecondsUnit = " 秒";
inline constexpr std::string_view kSpeedUnit = " KB/秒";

// The result area's context menu.
inline constexpr std::string_view kCopyResultsText = "复制结果";

// Why a file operation failed: the runtime's own refusals in the window's language,
// the system's reasons as the system words them.
std::string reasonFor(const std::error_code& error);

// What the run was doing to a file when it failed.
enum class FileAction { Lock, Check, Prepare, Create, Write, Open, Read, LookUp, Copy, Delete };

// "本地磁盘测试失败：<action> <what> 时出错（<reason>）"
std::string failureText(FileAction action, std::string_view what, const std::error_code& error);

// What a copy failed on: "<source> 到 <destination>".
std::string copiedText(std::string_view source, std::string_view destination);

// Another run holds the directory.
std::string directoryInUseText(std::string_view directory);

// The target takes no file as large as the largest the run writes.
std::string fileTooLargeText(std::uint64_t largestFile, std::uint64_t needed);

// Added to a stopped or failed run's status for each test file it could not remove.
std::string fileLeftText(std::string_view path, const std::error_code& error);

// The volume has less free than the run needs.
std::string spaceShortageText(std::uint64_t needed, std::uint64_t available);

// What a report adds to a sustained write that ended early.
std::string_view cutShortText(CutShort cut);

// A result's tooltip, one short line: how its figure met the device, where it may be the
// system's memory instead, and for the sustained write, a drop within its window. Empty
// for a row that moves no data.
std::string pathTip(int row, const RowRecord& result);

// The program and its version, the method's, the date, the drive and the devices
// beneath it, each row's caption, result and the bytes it moved, what the figures may
// not be (the caveat and the notes below), a drop within the sustained write, and the
// status: plain text, lines ending in LF. Of no run: the rows unmeasured, no date and
// no drive.
std::string plainTextReport(const RunRecord& record);

// Said once after a run whose figures may not all be the device's: memory's, or faster
// than its link; empty where they are.
std::string deviceCaveatText(const RunRecord& record);

// Said once after a run whose sustained write slowed within its window (bench/report.h's
// droppedWithinWindow), on a drive rather than memory; empty where it did not.
std::string windowDropNoteText(const RunRecord& record);

// A link as its users know it: "PCIe 3.0 ×2", "USB 2.0", "USB 5Gbps", "SATA 6Gb/s".
std::string linkName(runtime::LinkKind kind, runtime::LinkRate rate);

// The devices beneath a volume, one short line: "Samsung SSD 980 PRO 1TB（NVMe，PCIe
// 3.0 ×4）", "内存（zram0）"; empty where the system does not say.
std::string deviceText(const runtime::Storage& storage);

// Said once after a run on a disk whose link runs below what the disk can do (a USB 3
// drive at USB 2 speed, a PCIe 4.0 ×4 drive at 3.0 or ×2), naming both; empty where
// none does.
std::string linkNoteText(const runtime::Storage& storage);

// Said once after a run in a directory that could not be locked, which the status text
// leaves as it is; empty for a directory that could, and before any run.
std::string lockNoteText(const RunRecord& record);

// What is said once after a run beside its status, one line each: the lock note and
// the link note, where there are any. The window's status line has them as its tooltip.
std::vector<std::string> runNotes(const RunRecord& record);

// What Windows shows while a logoff or shutdown waits for the window's run to stop.
inline constexpr std::string_view kRunBlocksShutdownText = "正在测试磁盘：测试停止并删除测试文件后即可继续";
// Before the system's reason the window could not be made.
inline constexpr std::string_view kWindowFailedText = "无法打开窗口：";

// The headless program: the name before what it says on stderr, its usage line, its
// help after that line, and the live line's words while a row is measured (the row's
// caption and its seconds follow).
inline constexpr std::string_view kCliPrefix = "quvo-diskspeed-cli：";
inline constexpr std::string_view kCliUsage
    = "用法：quvo-diskspeed-cli [--json] [--quiet] [--prometheus 文件] [--] [目录] | --plan [--] [目录] | --list";
inline constexpr std::string_view kCliHelp
    = "在目录（默认为当前目录）中运行九项文件系统测试：小文件和大文件的写入与读取、\n"
      "3 秒持续写入及其读回、文件查找、复制和删除。两个测试文件在测试结束时删除。\n\n"
      "  --version 显示版本\n"
      "  --json   测试结束时输出一个 JSON 对象（字段见 docs/report.md），而不是逐行的结果\n"
      "  --quiet  测试过程中不输出任何行，只在失败时报告原因\n"
      "  --plan   只说明在该目录测试会写入什么、最多写入多少，不运行测试\n"
      "  --prometheus 文件  另将结果以 Prometheus 文本格式写入该文件（先写临时文件再改名）\n"
      "  --list   列出图形界面提供的磁盘（每行一个，第一个为默认选中的），然后退出\n"
      "  --help   显示本说明\n\n"
      "退出状态：0 测试完成，1 测试失败，2 用法错误，被信号中止时为 128 加信号值。\n";
inline constexpr std::string_view kMeasuringText = "正在测试：";

// Why the headless program refuses its command line; the first two are followed by
// the argument.
inline constexpr std::string_view kUnknownOptionText = "未知选项：";
inline constexpr std::string_view kSecondDirectoryText = "只能给出一个目录：";
inline constexpr std::string_view kPrometheusWithoutFileText = "--prometheus 需要一个文件名";
inline constexpr std::string_view kPrometheusNotAloneText = "--prometheus 不与 --plan 或 --list 同用";
inline constexpr std::string_view kEmptyDirectoryText = "目录不能为空";
inline constexpr std::string_view kListNotAloneText = "--list 不与目录、--json 或 --plan 同用";
inline constexpr std::string_view kPlanNotAloneText = "--plan 不与 --json 或 --quiet 同用";
// Followed by what was given.
inline constexpr std::string_view kNotADirectoryText = "不是目录：";

// "<what>：<reason>": what the headless program could not use, and why.
std::string problemText(std::string_view what, const std::error_code& error);

// A report file the headless program could not write, and why.
std::string reportNotWrittenText(std::string_view path, const std::error_code& error);

// Its standard output could not be written, and why.
std::string outputFailedText(const std::error_code& error);

// An entry of the drive list: "<designation> [<label>, <file system>, <free space> 可用]"
// for a directory on a volume that has answered ("<label>, " only where the volume has
// one), "<designation> [<file system>]" for one that has not, and "未知" for a file
// system whose name is not known.
std::string driveText(std::string_view directory, const runtime::Volume& volume, bool answered = true);

// What a run in directory may write, said before it starts: the two test files, at
// most what lies above the reserve, both removed at the end.
std::string planText(std::string_view directory, const runtime::Space& space);

} // namespace quvo::bench
