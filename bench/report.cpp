// SPDX-License-Identifier: MIT
#include "bench/report.h"

#include <cstdio>
#include <utility>

namespace quvo::bench {

void RunRecord::start(std::string driveText)
{
    started_ = std::chrono::system_clock::now();
    driveText_ = std::move(driveText);
    status_.clear();
    locked_ = false;
    storage_ = {};
    rows_ = {};
}

void RunRecord::setMeasurement(int row, const Measurement& measured)
{
    RowRecord& record = rows_.at(static_cast<std::size_t>(row));
    record.measured = measured;
    // bytes / seconds above the ceiling, kept free of a division by no time, which no
    // link carries anything in.
    record.aboveLink.reset();
    const auto link = runtime::linkOf(storage_);
    const auto ceiling = link ? runtime::ceilingOf(link->kind, link->current) : std::nullopt;
    if (ceiling && measured.bytes > 0
        && static_cast<double>(measured.bytes) > static_cast<double>(*ceiling) * measured.seconds)
        record.aboveLink = link;
}

void RunRecord::setPath(int row, runtime::DataPath path, std::optional<bool> droppedFromCache)
{
    RowRecord& record = rows_.at(static_cast<std::size_t>(row));
    record.path = path;
    record.droppedFromCache = droppedFromCache;
}

bool mayBeFromMemory(int row, const RowRecord& record)
{
    using runtime::DataPath;
    if (!record.measured || !record.path)
        return false;
    if (*record.path == DataPath::Memory)
        return true;
    // A write is forced to the medium whichever way it went; a read meets the device
    // only past the cache or where the cache was shown emptied of its file.
    const Action action = rowSpec(row).workload.action;
    const bool reads = action == Action::ReadLines || action == Action::ReadBack || action == Action::Copy;
    if (!reads || *record.path == DataPath::Direct)
        return false;
    return record.droppedFromCache == false
        || (*record.path == DataPath::DirectRefused && record.droppedFromCache != true);
}

bool mayNotBeDevice(int row, const RowRecord& record)
{
    return mayBeFromMemory(row, record) || (record.measured && record.aboveLink);
}

bool droppedWithinWindow(std::span<const std::uint64_t> bytesAt)
{
    if (bytesAt.size() < kWindowQuarters)
        return false;
    // Seconds [0, 1) and [2, 3); compared in whole bytes, so that 70 % exactly is no drop.
    const std::uint64_t first = bytesAt[kQuartersPerSecond - 1];
    const std::uint64_t last = bytesAt[kWindowQuarters - 1] - bytesAt[kWindowQuarters - 1 - kQuartersPerSecond];
    return last * 10 < first * 7;
}

std::string_view dataPathId(runtime::DataPath path)
{
    switch (path) {
    case runtime::DataPath::Direct: return "direct";
    case runtime::DataPath::DroppedFromCache: return "buffered_dropped";
    case runtime::DataPath::ForcedToMedium: return "buffered_forced";
    case runtime::DataPath::DirectRefused: return "direct_refused";
    case runtime::DataPath::Memory: return "memory";
    }
    return {};
}

std::string_view cutShortId(CutShort cut)
{
    switch (cut) {
    case CutShort::No: return {};
    case CutShort::Space: return "space";
    case CutShort::FileSizeLimit: return "file_size_limit";
    case CutShort::Quota: return "quota";
    }
    return {};
}

std::string_view busId(runtime::Bus bus)
{
    using runtime::Bus;
    switch (bus) {
    case Bus::Unknown: return {};
    case Bus::Ata: return "ata";
    case Bus::Sata: return "sata";
    case Bus::Scsi: return "scsi";
    case Bus::Sas: return "sas";
    case Bus::Usb: return "usb";
    case Bus::Nvme: return "nvme";
    case Bus::NvmeOverFabrics: return "nvme_over_fabrics";
    case Bus::Sd: return "sd";
    case Bus::Mmc: return "mmc";
    case Bus::Virtio: return "virtio";
    case Bus::Ieee1394: return "ieee1394";
    case Bus::FibreChannel: return "fibre_channel";
    case Bus::Iscsi: return "iscsi";
    case Bus::Raid: return "raid";
    case Bus::StorageSpaces: return "storage_spaces";
    case Bus::Virtual: return "virtual";
    case Bus::FileBackedVirtual: return "file_backed_virtual";
    case Bus::Ufs: return "ufs";
    case Bus::StorageClassMemory: return "storage_class_memory";
    }
    return {};
}

std::string_view levelKindId(runtime::LevelKind kind)
{
    using runtime::LevelKind;
    switch (kind) {
    case LevelKind::Volume: return "volume";
    case LevelKind::Partition: return "partition";
    case LevelKind::Disk: return "disk";
    case LevelKind::DeviceMapper: return "device_mapper";
    case LevelKind::Md: return "md";
    case LevelKind::Loop: return "loop";
    case LevelKind::File: return "file";
    case LevelKind::Stacked: return "stacked";
    case LevelKind::Zram: return "zram";
    case LevelKind::RamDisk: return "ram_disk";
    case LevelKind::MemoryFileSystem: return "memory_file_system";
    }
    return {};
}

std::string_view linkKindId(runtime::LinkKind kind)
{
    switch (kind) {
    case runtime::LinkKind::Pcie: return "pcie";
    case runtime::LinkKind::Usb: return "usb";
    case runtime::LinkKind::Sata: return "sata";
    }
    return {};
}

std::string utcTimestamp(std::chrono::system_clock::time_point when)
{
    using namespace std::chrono;
    // The system clock counts UTC; the calendar needs no time zone for it.
    const auto second = floor<seconds>(when);
    const auto day = floor<days>(second);
    const year_month_day date{day};
    const hh_mm_ss time{second - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
        static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
    return text;
}

} // namespace quvo::bench
