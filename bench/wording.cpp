// SPDX-License-Identifier: MIT
#include "bench/wording.h"

#include "bench/target.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/number_format.h"

namespace quvo::bench {

std::string reasonFor(const std::error_code& error)
{
    if (error.category() != runtime::runtimeCategory())
        return error.message();
    switch (static_cast<runtime::Errc>(error.value())) {
    case runtime::Errc::fileNotOpen: return "文件未打开";
    case runtime::Errc::pastEndOfFile: return "已读到文件末尾";
    case runtime::Errc::notRegularFile: return "该名称已被目录、链接或设备等占用，不是普通文件";
    case runtime::Errc::ownedByOtherUser: return "该文件属于其他用户";
    case runtime::Errc::replacedWhileOpening: return "打开时该文件被替换";
    case runtime::Errc::hasOtherLinks: return "该文件还有其他硬链接，清空它会改动别处的文件";
    case runtime::Errc::directoryInUse: return "该目录中另一个测试正在运行";
    case runtime::Errc::stopped: return "已请求中止";
    case runtime::Errc::reserveReached: return "再写下去会占用磁盘必须保留的可用空间";
    case runtime::Errc::designationElsewhere: return "驱动器号指向的不是这个目录，测试文件会写到别处";
    }
    return error.message();
}

std::string failureText(std::string_view action, std::string_view what, const std::error_code& error)
{
    return std::string(kFailedText) + std::string(action) + " " + std::string(what) + " 时出错（" + reasonFor(error)
        + "）";
}

std::string spaceShortageText(std::uint64_t needed, std::uint64_t available)
{
    return std::string(kFailedText) + "磁盘可用空间不足（需要 " + runtime::formatSize(needed) + "，现有 "
        + runtime::formatSize(available) + "）";
}

std::string_view cutShortText(CutShort cut)
{
    switch (cut) {
    case CutShort::No: return {};
    case CutShort::Space: return "（为保留磁盘空间而提前结束）";
    case CutShort::FileSizeLimit: return "（达到单个文件大小上限而提前结束）";
    case CutShort::Quota: return "（达到磁盘配额而提前结束）";
    }
    return {};
}

namespace {

constexpr std::string_view kNotice = "注意：";
constexpr std::string_view kMemoryMedium = "该卷位于内存中，结果不是磁盘的速度";

} // namespace

std::string pathTip(int row, const RowRecord& shown)
{
    if (!shown.path)
        return {};
    std::string tip;
    switch (*shown.path) {
    case runtime::DataPath::Direct: tip = "绕过系统缓存，直接读写磁盘"; break;
    case runtime::DataPath::DroppedFromCache: tip = "经系统缓存，写入后强制落盘并清出缓存"; break;
    case runtime::DataPath::ForcedToMedium: tip = "经系统缓存，写入后强制落盘"; break;
    case runtime::DataPath::DirectRefused: tip = "文件系统不支持直接读写，经系统缓存"; break;
    case runtime::DataPath::Memory: return std::string(kMemoryMedium);
    }
    if (mayNotBeDevice(row, shown))
        tip += "；未能确认已清出缓存，结果可能来自内存";
    return tip;
}

std::string deviceCaveatText(const RunRecord& record)
{
    std::string rows;
    for (int row = 0; row < kRowCount; ++row) {
        const RowRecord& shown = record.rows()[static_cast<std::size_t>(row)];
        if (shown.path == runtime::DataPath::Memory)
            return std::string(kNotice) + std::string(kMemoryMedium);
        if (mayNotBeDevice(row, shown))
            rows += (rows.empty() ? "" : "、") + std::string(rowSpec(row).caption);
    }
    if (rows.empty())
        return {};
    return std::string(kNotice) + "文件系统未能绕过或清出缓存，这些结果可能来自内存：" + rows;
}

std::string driveText(std::string_view directory, const runtime::Volume& volume, bool answered)
{
    const std::string fileSystem = volume.fileSystem.empty() ? "未知" : volume.fileSystem;
    if (!answered)
        return runtime::designationFor(directory) + " [" + fileSystem + "]";
    const std::string label = volume.label.empty() ? std::string() : volume.label + ", ";
    return runtime::designationFor(directory) + " [" + label + fileSystem + ", "
        + runtime::formatSize(volume.availableBytes) + " 可用]";
}

std::string planText(std::string_view directory, const runtime::Space& space)
{
    const std::uint64_t reserve = reserveFor(space.totalBytes);
    const std::uint64_t most = space.availableBytes > reserve ? space.availableBytes - reserve : 0;
    return "将在 " + std::string(directory) + " 测试：写入测试文件 " + std::string(kTestFile1Name) + " 和 "
        + std::string(kTestFile2Name) + "，最多 " + runtime::formatSize(most) + "（可用 "
        + runtime::formatSize(space.availableBytes) + "，其中 " + runtime::formatSize(reserve)
        + " 保留不写），测试结束后删除。";
}

} // namespace quvo::bench
