// SPDX-License-Identifier: MIT
#include "bench/drives.h"

#include "bench/target.h"
#include "bench/wording.h"
#include "runtime/volumes.h"

namespace quvo::bench {
namespace {

bool measurable(const runtime::VolumeProbe& probe)
{
    const runtime::Volume& volume = probe.volume;
    return probe.answered && probe.writable && !volume.traits.memory
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
            list.entries.insert(list.entries.begin(), driveText(probe.directory, probe.volume, probe.answered));
            current = true;
        } else if (measurable(probe)) {
            list.entries.push_back(driveText(probe.directory, probe.volume));
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
    runtime::Volume volume;
    if (mount)
        volume.fileSystem = mount->fileSystem;
    return {{driveText(current, volume, /*answered=*/false)}, 0};
}

std::string driveTextOf(const std::string& directory, const std::optional<runtime::Volume>& volume)
{
    return volume ? driveText(directory, *volume) : driveText(directory, runtime::Volume{}, /*answered=*/false);
}

std::string driveTextOf(const std::string& directory)
{
    return driveTextOf(directory, runtime::volumeOf(directory));
}

} // namespace quvo::bench
