// SPDX-License-Identifier: MIT
// The drive list: the volumes a user is offered to measure, each named by its drive
// text, as the window's list shows them and the headless front end prints them.
#pragma once

#include "runtime/volumes.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quvo::bench {

struct DriveList {
    // Drive texts, "<designation> [<file system>, <free space> 可用]", as the run reads them.
    std::vector<std::string> entries;
    // The entry selected at first.
    int selected = 0;
};

// How long the volumes have to answer before the list goes on without them.
inline constexpr std::chrono::milliseconds kVolumePatience{1500};

// The volume of the current directory, first and selected, whatever it is unless it
// answered that this user may not write there; then every other volume this user can
// measure: writable at its run's directory, with room for a run, and not memory.
// Volumes that have not answered within patience are left out.
DriveList offeredDrives(std::chrono::milliseconds patience = kVolumePatience);

// At once and touching no mounted file system: the current directory's entry alone,
// described from the mount table, for a window that shows before the volumes answer.
DriveList provisionalDrives();

// The drive text of a run in directory, on its volume as asked once by the caller
// (none: not known).
std::string driveTextOf(const std::string& directory, const std::optional<runtime::Volume>& volume);
// The same, asking the volume itself.
std::string driveTextOf(const std::string& directory);

} // namespace quvo::bench
