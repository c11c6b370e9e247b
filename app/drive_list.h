// SPDX-License-Identifier: MIT
// What the drive list offers: one entry per measurable volume of the machine.
#pragma once

#include <string>
#include <vector>

namespace quvo::app {

struct DriveList {
    // Drive texts, "<designation> [<file system>, <free space> 可用]", as the run reads them.
    std::vector<std::string> entries;
    // The entry selected when the window opens.
    int selected = 0;
};

// The machine's real, writable volumes, each designated by the directory a run works
// in there. The entry holding the current directory is selected; when none does, the
// first. A machine that shows no volume at all gets an entry for the current
// directory, so that a run never goes without a named target.
DriveList machineDrives();

} // namespace quvo::app
