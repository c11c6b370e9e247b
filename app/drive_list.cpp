// SPDX-License-Identifier: MIT
#include "app/drive_list.h"

#include "runtime/designation.h"
#include "runtime/volumes.h"

#include <filesystem>
#include <system_error>

namespace quvo::app {

DriveList machineDrives()
{
    std::error_code error;
    const std::string current = std::filesystem::current_path(error).string();

    DriveList list;
    for (const runtime::Volume& volume : runtime::listVolumes()) {
        const std::string directory = runtime::targetDirectory(volume);
        if (!current.empty() && directory == current)
            list.selected = static_cast<int>(list.entries.size());
        list.entries.push_back(runtime::driveText(directory, volume));
    }
    if (list.entries.empty() && !current.empty()) {
        const auto volume = runtime::volumeOf(current);
        list.entries.push_back(
            volume ? runtime::driveText(current, *volume) : runtime::designationFor(current) + " [未知]");
    }
    return list;
}

} // namespace quvo::app
