// SPDX-License-Identifier: MIT
// What lies beneath a volume, down to its devices: each level of the stack (a partition,
// device-mapper and md devices and their members, a loop device and the volume of its
// backing file, a virtual disk and its host volume), and at the bottom the disks, each
// with its maker's names, its bus and its link, or memory. Facts only: the words for
// them are the run's (bench/wording.h). Implemented by each system's storage.cpp
// (linux/, windows/); reads the system's tables of devices, never a mounted file system
// beyond a stat of the directory asked about and of a loop device's backing file.
#pragma once

#include "runtime/links.h"
#include "runtime/system_path.h"

#include <optional>
#include <string>
#include <vector>

namespace quvo::runtime {

enum class Bus {
    Unknown,
    Ata, // parallel ATA
    Sata,
    Scsi,
    Sas,
    Usb,
    Nvme,
    NvmeOverFabrics,
    Sd,
    Mmc,
    Virtio,
    Ieee1394,
    FibreChannel,
    Iscsi,
    Raid,
    StorageSpaces,
    Virtual,
    FileBackedVirtual,
    Ufs,
    StorageClassMemory,
};

enum class LevelKind {
    Volume,           // a volume of the system's own (Windows: "D:")
    Partition,        // of a disk
    Disk,             // a device at the bottom of the stack: see Storage::disks
    DeviceMapper,     // LVM, dm-crypt and the like, over its members
    Md,               // software RAID, over its members
    Loop,             // a loop device, over its backing file
    File,             // a file that holds a disk's image, on the volume beneath it
    Stacked,          // another driver's device over its members (bcache, DRBD)
    Zram,             // a compressed RAM disk
    RamDisk,          // a RAM disk (Linux's brd "ram0", a Windows RAM disk driver's)
    MemoryFileSystem, // tmpfs or ramfs: the volume itself, or the one a loop device's file lies on
};

// One level, named as the system names it ("nvme0n1p2", "dm-0", "loop0", a backing
// file's path, "PhysicalDrive0"), under the level that holds it: the one above it in
// the stack, by name, or none for the level mounted.
struct StorageLevel {
    std::string name;
    LevelKind kind = LevelKind::Disk;
    std::string holder{};

    friend bool operator==(const StorageLevel&, const StorageLevel&) = default;
};

struct Disk {
    std::string name;     // as its level is named
    std::string vendor{}; // as the device reports it, blanks trimmed; empty where it says none
    std::string model{};
    Bus bus = Bus::Unknown;
    std::optional<Link> link{}; // where the system tells it

    friend bool operator==(const Disk&, const Disk&) = default;
};

struct Storage {
    // From the device mounted down, each level after the one that holds it; a level that
    // two hold (a disk with two partitions in one RAID) appears once.
    std::vector<StorageLevel> levels;
    std::vector<Disk> disks; // at the bottom, in the order met
    // The stack ends in memory, or one of its bottoms does: a tmpfs, zram, a RAM disk,
    // or a loop device whose file lies on one of those. Its figures are the memory's,
    // not a drive's.
    bool memory = false;

    friend bool operator==(const Storage&, const Storage&) = default;
};

// What lies beneath the volume holding directory, as far as the system tells it; empty
// for a file system with no device beneath it that the system names (network, FUSE).
Storage storageOf(const SystemPath& directory);

// The link every byte a run moves crosses: that of the stack's only disk, where the
// system tells it. Nothing over several disks, whose links a figure may add up.
std::optional<Link> linkOf(const Storage& storage);

} // namespace quvo::runtime
