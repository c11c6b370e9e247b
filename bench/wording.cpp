// SPDX-License-Identifier: MIT
#include "bench/wording.h"

#include "bench/target.h"
#include "runtime/designation.h"
#include "runtime/errors.h"
#include "runtime/number_format.h"
#include "version.h"

#include <iterator>
#include <optional>

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

std::string failureText(FileAction action, std::string_view what, const std::error_code& error)
{
    constexpr std::string_view kVerbs[]
        = {"锁定", "检查", "准备", "创建", "写入", "打开", "读取", "查找", "复制", "删除"};
    static_assert(std::size(kVerbs) == static_cast<std::size_t>(FileAction::Delete) + 1, "a verb for every action");
    return std::string(kFailedText) + std::string(kVerbs[static_cast<std::size_t>(action)]) + " " + std::string(what)
        + " 时出错（" + reasonFor(error) + "）";
}

std::string copiedText(std::string_view source, std::string_view destination)
{
    return std::string(source) + " 到 " + std::string(destination);
}

std::string directoryInUseText(std::string_view directory)
{
    return std::string(kFailedText) + "另一个测试正在使用该目录（" + std::string(directory) + "），请等它结束后再试";
}

std::string fileTooLargeText(std::uint64_t largestFile, std::uint64_t needed)
{
    return std::string(kFailedText) + "该处单个文件不能超过 " + runtime::formatSize(largestFile) + "，放不下 "
        + runtime::formatSize(needed) + " 的测试文件";
}

std::string fileLeftText(std::string_view path, const std::error_code& error)
{
    return "；测试文件未能删除：" + std::string(path) + "（" + reasonFor(error) + "）";
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
constexpr std::string_view kWindowDrop = "最后一秒的写入速度不到第一秒的 70%：磁盘缓存已满或磁盘降速";

bool droppedOnDrive(const RowRecord& result)
{
    return result.measured && result.path != runtime::DataPath::Memory
        && droppedWithinWindow(result.measured->progress.noted());
}

std::string aboveLinkText(const runtime::Link& link)
{
    return "快于 " + linkName(link.kind, link.current) + " 接口的上限，不是磁盘本身的速度";
}

// A bus as its users know it; empty where not known.
std::string_view busName(runtime::Bus bus)
{
    using runtime::Bus;
    switch (bus) {
    case Bus::Unknown: return {};
    case Bus::Ata: return "ATA";
    case Bus::Sata: return "SATA";
    case Bus::Scsi: return "SCSI";
    case Bus::Sas: return "SAS";
    case Bus::Usb: return "USB";
    case Bus::Nvme: return "NVMe";
    case Bus::NvmeOverFabrics: return "NVMe over Fabrics";
    case Bus::Sd: return "SD";
    case Bus::Mmc: return "eMMC";
    case Bus::Virtio: return "virtio";
    case Bus::Ieee1394: return "IEEE 1394";
    case Bus::FibreChannel: return "光纤通道";
    case Bus::Iscsi: return "iSCSI";
    case Bus::Raid: return "RAID";
    case Bus::StorageSpaces: return "存储空间";
    case Bus::Virtual: return "虚拟磁盘";
    case Bus::FileBackedVirtual: return "虚拟磁盘文件";
    case Bus::Ufs: return "UFS";
    case Bus::StorageClassMemory: return "存储级内存";
    }
    return {};
}

} // namespace

std::string pathTip(int row, const RowRecord& result)
{
    if (!result.path)
        return {};
    std::string tip;
    switch (*result.path) {
    case runtime::DataPath::Direct: tip = "绕过系统缓存，直接读写磁盘"; break;
    case runtime::DataPath::DroppedFromCache: tip = "经系统缓存，写入后强制落盘并清出缓存"; break;
    case runtime::DataPath::ForcedToMedium: tip = "经系统缓存，写入后强制落盘"; break;
    case runtime::DataPath::DirectRefused: tip = "文件系统不支持直接读写，经系统缓存"; break;
    case runtime::DataPath::Memory: return std::string(kMemoryMedium);
    }
    if (mayBeFromMemory(row, result))
        tip += "；未能确认已清出缓存，结果可能来自内存";
    if (result.aboveLink)
        tip += "；" + aboveLinkText(*result.aboveLink);
    if (droppedOnDrive(result))
        tip += "；" + std::string(kWindowDrop);
    return tip;
}

std::string deviceCaveatText(const RunRecord& record)
{
    std::string fromMemory;
    std::string aboveLink;
    std::optional<runtime::Link> link;
    for (int row = 0; row < kRowCount; ++row) {
        const RowRecord& result = record.rows()[static_cast<std::size_t>(row)];
        if (result.path == runtime::DataPath::Memory)
            return std::string(kNotice) + std::string(kMemoryMedium);
        const std::string caption(rowSpec(row).caption);
        if (mayBeFromMemory(row, result))
            fromMemory += (fromMemory.empty() ? "" : "、") + caption;
        if (result.measured && result.aboveLink) {
            aboveLink += (aboveLink.empty() ? "" : "、") + caption;
            link = result.aboveLink;
        }
    }
    std::string caveat;
    if (!fromMemory.empty())
        caveat = "文件系统未能绕过或清出缓存，这些结果可能来自内存：" + fromMemory;
    if (link)
        caveat += std::string(caveat.empty() ? "" : "；") + "这些结果" + aboveLinkText(*link) + "：" + aboveLink;
    return caveat.empty() ? caveat : std::string(kNotice) + caveat;
}

std::string windowDropNoteText(const RunRecord& record)
{
    const RowRecord& written = record.rows()[static_cast<std::size_t>(rowOf(Action::SustainedWrite))];
    return droppedOnDrive(written) ? std::string(kNotice) + "3 秒持续写入中，" + std::string(kWindowDrop) : "";
}

std::string linkName(runtime::LinkKind kind, runtime::LinkRate rate)
{
    const std::string megabits = std::to_string(rate.megabits);
    switch (kind) {
    case runtime::LinkKind::Pcie: {
        const int generation = runtime::pcieGeneration(rate.megabits);
        const std::string version = generation > 0 ? std::to_string(generation) + ".0" : "（" + megabits + " MT/s）";
        return "PCIe " + version + " ×" + std::to_string(rate.lanes);
    }
    case runtime::LinkKind::Usb:
        switch (rate.megabits) {
        case 12: return "USB 1.1";
        case 480: return "USB 2.0";
        default:
            return rate.megabits % 1000 == 0 ? "USB " + std::to_string(rate.megabits / 1000) + "Gbps"
                                             : "USB " + megabits + "Mbps";
        }
    case runtime::LinkKind::Sata:
        return rate.megabits == 1500    ? "SATA 1.5Gb/s"
            : rate.megabits % 1000 == 0 ? "SATA " + std::to_string(rate.megabits / 1000) + "Gb/s"
                                        : "SATA " + megabits + "Mb/s";
    }
    return {};
}

std::string deviceText(const runtime::Storage& storage)
{
    std::string text;
    const auto append = [&text](const std::string& part) { text += (text.empty() ? "" : "、") + part; };
    for (const runtime::StorageLevel& level : storage.levels)
        if (level.kind == runtime::LevelKind::Zram || level.kind == runtime::LevelKind::RamDisk
            || level.kind == runtime::LevelKind::MemoryFileSystem)
            append("内存（" + level.name + "）");
    for (const runtime::Disk& disk : storage.disks) {
        // Many a model starts with its maker's name already.
        std::string name = disk.vendor.empty() || disk.model.starts_with(disk.vendor)
            ? disk.model
            : disk.vendor + (disk.model.empty() ? "" : " " + disk.model);
        if (name.empty())
            name = disk.name;
        // A USB or SATA link's name says its bus.
        const bool linkSaysBus = disk.link && (disk.bus == runtime::Bus::Usb || disk.bus == runtime::Bus::Sata);
        std::string about(linkSaysBus ? std::string_view() : busName(disk.bus));
        if (disk.link)
            about += (about.empty() ? "" : "，") + linkName(disk.link->kind, disk.link->current);
        append(about.empty() ? name : name + "（" + about + "）");
    }
    return text;
}

std::string lockNoteText(const RunRecord& record)
{
    return record.started() && !record.locked() ? "注意：该目录不支持加锁，未能防止另一个测试同时使用它" : "";
}

std::vector<std::string> runNotes(const RunRecord& record)
{
    std::vector<std::string> notes;
    for (std::string note : {lockNoteText(record), linkNoteText(record.storage())})
        if (!note.empty())
            notes.push_back(std::move(note));
    return notes;
}

std::string linkNoteText(const runtime::Storage& storage)
{
    std::string note;
    for (const runtime::Disk& disk : storage.disks) {
        if (!disk.link || !runtime::belowCapable(*disk.link))
            continue;
        const runtime::Link& link = *disk.link;
        note += (note.empty() ? "" : "；") + (disk.model.empty() ? disk.name : disk.model) + " 的接口以 "
            + linkName(link.kind, link.current) + " 运行，低于它支持的 " + linkName(link.kind, *link.capable)
            + "，结果受接口所限";
    }
    return note.empty() ? note : std::string(kNotice) + note;
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

std::string problemText(std::string_view what, const std::error_code& error)
{
    return std::string(what) + "：" + reasonFor(error);
}

std::string reportNotWrittenText(std::string_view path, const std::error_code& error)
{
    return std::string(path) + " 未能写入（" + reasonFor(error) + "）";
}

std::string outputFailedText(const std::error_code& error)
{
    return "结果未能写到标准输出（" + reasonFor(error) + "）";
}

std::string plainTextReport(const RunRecord& record)
{
    std::string report = "Quvo磁盘速度测试 (" + std::string(kVersionLine) + ")\n";
    report += "测量方法：第 " + std::to_string(kMethodVersion) + " 版\n";
    if (record.started()) {
        report += "日期：" + utcTimestamp(record.startedAt()) + "\n";
        report += "磁盘：" + record.driveText() + "\n";
        if (const std::string device = deviceText(record.storage()); !device.empty())
            report += "设备：" + device + "\n";
    }
    report += "\n";
    for (int row = 0; row < kRowCount; ++row) {
        const RowRecord& result = record.rows()[static_cast<std::size_t>(row)];
        report += std::string(rowSpec(row).caption) + " ";
        if (!result.measured) {
            report += "（未测）\n";
            continue;
        }
        report += result.text;
        if (result.measured->bytes > 0)
            report += "，"
                + runtime::formatNumber(static_cast<double>(result.measured->bytes),
                    runtime::NumberPattern::GroupedWhole, runtime::NumberSeparators{})
                + " 字节";
        report += std::string(cutShortText(result.measured->cut)) + "\n";
    }
    report += "\n";
    if (const std::string caveat = deviceCaveatText(record); !caveat.empty())
        report += caveat + "\n";
    if (const std::string drop = windowDropNoteText(record); !drop.empty())
        report += drop + "\n";
    for (const std::string& note : runNotes(record))
        report += note + "\n";
    return report + record.status() + "\n";
}

} // namespace quvo::bench
