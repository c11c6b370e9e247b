// SPDX-License-Identifier: MIT
#include "bench/drives.h"

#include "bench/target.h"
#include "runtime/volumes.h"

namespace quvo::bench {
namespace {

// What a drive text says of a file system that has not told its name.
constexpr std::string_view kUnknownFileSystem = "未知";

std::string_view fileSystemName(std::string_view name)
{
    return name.empty() ? kUnknownFileSystem : name;
}

bool measurable(const runtime::VolumeProbe& probe)
{
    const runtime::Volume& volume = probe.volume;
    return probe.answered && probe.writable && !runtime::isRamBacked(volume.fileSystem)
        && volume.availableBytes >= spaceNeededOn(volume.totalBytes);
}

} // namespace

DriveList offeredDrives(std::chrono::milliseconds patience)
{
    DriveList list;
    bool current = false;
    bool currentRefused = false;
    for (const runtime::VolumeProbe& probe : runtime::probeVolumes(patience)) {
        // A current directory this user may not create files in (a shortcut that starts
        // in a program's own folder) is not offered: a run there would fail at its first
        // file.
        if (probe.holdsCurrentDirectory && probe.answered && !probe.writable) {
            currentRefused = true;
            continue;
        }
        if (probe.holdsCurrentDirectory) {
            const std::string text = probe.answered
                ? runtime::driveText(probe.directory, probe.volume)
                : runtime::driveText(probe.directory, fileSystemName(probe.volume.fileSystem));
            list.entries.insert(list.entries.begin(), text);
            current = true;
        } else if (measurable(probe)) {
            list.entries.push_back(runtime::driveText(probe.directory, probe.volume));
        }
    }
    if (!current && (!currentRefused || list.entries.empty()))
        list.entries.insert(list.entries.begin(), provisionalDrives().entries.front());
    return list;
}

DriveList provisionalDrives()
{
    const std::string current = runtime::currentDirectory();
    const auto mount = runtime::mountHolding(current);
    return {{runtime::driveText(current, fileSystemName(mount ? mount->fileSystem : ""))}, 0};
}

} // namespace quvo::bench
