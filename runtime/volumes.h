// SPDX-License-Identifier: MIT
// The machine's volumes, as facts: where each is mounted, its file system and its
// space. Implemented by each system's volumes.cpp (linux/, windows/); the drive list's
// words for them are the run's (bench/wording.h).
//
// On Windows a volume is a lettered drive: the drive letters stand in for the mount
// table, a drive's root for its mount point, and network drives for network mounts.
//
// A mount can stop answering (a network share whose server is gone, a FUSE daemon
// that hangs), and a call into it then waits in the kernel. So nothing here touches a
// network or FUSE mount unless the current directory lies on it, and every other
// mounted file system is asked on a thread of its own, with a deadline.
#pragma once

#include "runtime/storage.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quvo::runtime {

// What may stand between a run's writes and reads and the device, as far as the
// system tells it.
struct VolumeTraits {
    // The file system may compress what is written (btrfs with compression on); not
    // known where the system cannot say (ZFS's properties, an NTFS folder's).
    std::optional<bool> compression{};
    bool copyOnWrite = false; // writes go to new places (btrfs, ZFS, bcachefs)
    bool fuse = false;        // served by a process (FUSE)
    bool network = false;     // served by another machine
    bool memory = false;      // the medium is memory (tmpfs, zram, a RAM disk, a file on one)
};

struct Volume {
    std::string mountPoint;
    std::string fileSystem; // as a user knows it: "ext4", "vfat", "ntfs" (through FUSE), ...
    std::string device;     // what is mounted: "/dev/sda1", "server:/share", ...
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
    std::string label{}; // the volume's name where the system keeps one (Windows): "系统"
    // What the mount table calls the file system where that is another name: "fuseblk"
    // for an NTFS disk served by ntfs-3g; empty where it is fileSystem.
    std::string mountType{};
    VolumeTraits traits{};
    Storage storage{}; // what lies beneath it, down to its devices
};

// One line of the mount table, as the system decodes it.
struct MountEntry {
    std::string mountPoint;
    std::string fileSystem;
    bool readOnly = false;
    std::string device{};
    std::string options{}; // "rw,relatime,compress=zstd:3"
};

// What a mount's file system is as a user knows it, and what may stand between the
// run and its device, judged on the mount table alone. (Windows: from the drive.)
VolumeTraits traitsOf(const MountEntry& entry);

// Whether a mount can be a measured volume, judged on the table alone: no pseudo,
// read-only or container file systems.
bool isUserVolume(const MountEntry& entry);

// Network and FUSE file systems: a call into one may wait on a server or a daemon.
// (Windows knows a network drive by its drive type, not by a name: false there.)
bool mayNotAnswer(std::string_view fileSystem);

// File systems whose medium is memory. (Windows knows a RAM disk by its drive type or its
// storage stack, and never offers one: false there.) A file system on a memory device
// (zram) is known by the device: Volume::storage.
bool isRamBacked(std::string_view fileSystem);

// A volume as this user could measure it, once it has answered.
struct VolumeProbe {
    Volume volume; // sizes are 0 unless answered
    // Where a run works there: the current directory if it lies on the volume, else
    // the user's home directory if that does, else the mount point.
    std::string directory;
    bool holdsCurrentDirectory = false;
    bool answered = false; // within the patience given
    bool writable = false; // by this user, at directory
};

// The user volumes of the machine, in the mount table's order, each asked on a thread
// of its own; a volume that has not answered within patience comes back unanswered
// (the one holding the current directory) or not at all. Network and FUSE mounts are
// left out untouched unless they hold the current directory. Repeated mounts of one
// file system appear once, the current directory's first.
std::vector<VolumeProbe> probeVolumes(std::chrono::milliseconds patience);

// The current directory, and the mount-table entry it lies on, without touching any
// mounted file system. (On Windows, a local drive's file system name comes from the
// drive itself, which answers at once; a network drive is not asked.)
std::string currentDirectory();
std::optional<MountEntry> mountHolding(const std::string& directory);

// The volume holding directory: the innermost mount above it, of whatever kind.
// Touches directory's own file system only.
std::optional<Volume> volumeOf(const std::string& directory);

} // namespace quvo::runtime
