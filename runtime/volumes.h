// SPDX-License-Identifier: MIT
// The machine's volumes, and the drive texts that name them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quvo::runtime {

struct Volume {
    std::string mountPoint;
    std::string fileSystem; // "ext4", "vfat", ...
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
};

// The real, writable volumes a user would pick to measure: no pseudo or read-only
// file systems, no empty or repeated mounts; removable media stay.
std::vector<Volume> listVolumes();

// The volume holding directory: the innermost mount above it, of whatever kind.
std::optional<Volume> volumeOf(const std::string& directory);

// Where a run works on a volume: the current directory if it lies on the volume,
// else the user's home directory if that does, else the mount point.
std::string targetDirectory(const Volume& volume);

// "<designation> [<file system>, <free space> 可用]" for a directory on volume.
std::string driveText(std::string_view directory, const Volume& volume);

// One line of the mount table, as the system decodes it.
struct MountEntry {
    std::string mountPoint;
    std::string fileSystem;
    bool readOnly = false;
};

// Whether a mount can be a measured volume, judged on the table alone (size and
// repeats need the mounted file system itself).
bool isUserVolume(const MountEntry& entry);

} // namespace quvo::runtime
