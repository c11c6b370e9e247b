// SPDX-License-Identifier: MIT
// Every text the run and its reports put before the user, in the window's language, in
// one place: the status texts, why a run failed, how a drive is named in the drive
// list, and what a run will write.
#pragma once

#include "bench/report.h"
#include "bench/run_view.h"
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

// Why a file operation failed: the runtime's own refusals in the window's language,
// the system's reasons as the system words them.
std::string reasonFor(const std::error_code& error);

// "本地磁盘测试失败：<action> <what> 时出错（<reason>）"
std::string failureText(std::string_view action, std::string_view what, const std::error_code& error);

// The volume has less free than the run needs.
std::string spaceShortageText(std::uint64_t needed, std::uint64_t available);

// What a report adds to a sustained write that ended early.
std::string_view cutShortText(CutShort cut);

// A result's tooltip, one short line: how its figure met the device, where it may be the
// system's memory instead, and for the sustained write, a drop within its window. Empty
// for a row that moves no data.
std::string pathTip(int row, const RowRecord& shown);

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

// An entry of the drive list: "<designation> [<label>, <file system>, <free space> 可用]"
// for a directory on a volume that has answered ("<label>, " only where the volume has
// one), "<designation> [<file system>]" for one that has not, and "未知" for a file
// system whose name is not known.
std::string driveText(std::string_view directory, const runtime::Volume& volume, bool answered = true);

// What a run in directory may write, said before it starts: the two test files, at
// most what lies above the reserve, both removed at the end.
std::string planText(std::string_view directory, const runtime::Space& space);

} // namespace quvo::bench
