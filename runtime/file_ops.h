// SPDX-License-Identifier: MIT
// The run's operations on whole files, on the system's paths (system_path.h).
#pragma once

#include "runtime/platform.h"
#include "runtime/result.h"
#include "runtime/stop.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

// The file name part of path if a regular file of that name exists, else the empty
// text. "Not there" is an answer, not an error. The name is a copy: it outlives the path
// it was found in.
Result<std::string> lookUpFile(const SystemPath& path);

// How much a writer that keeps keepFree bytes of its volume free may write between two
// looks at the free space: a sixteenth of what it keeps, so that someone else filling
// the volume meanwhile costs the reserve little, within 1 to 64 MiB.
constexpr std::uint64_t spaceCheckInterval(std::uint64_t keepFree)
{
    constexpr std::uint64_t kLeast = std::uint64_t{1} << 20;
    constexpr std::uint64_t kMost = std::uint64_t{64} << 20;
    return keepFree / 16 < kLeast ? kLeast : keepFree / 16 > kMost ? kMost : keepFree / 16;
}

// What a copy heeds between its blocks.
struct CopyWatch {
    const StopFlag* stop = nullptr; // raised: the copy ends with Errc::stopped
    // Bytes of the volume the copy leaves free, whoever else writes there meanwhile; it
    // ends with Errc::reserveReached rather than take them.
    std::uint64_t keepFree = 0;
    // Where not null, set on success to how the copy's data went to the medium.
    DataPath* wentBy = nullptr;
};

// Copies the whole file through the process, block by block, so the data really
// moves (no clone or reflink shortcut), replaces the destination if it is a regular
// file of this user with no other name (a hard link's other names would change with
// it), and forces the copy to the medium as it goes.
// A copy that ends early leaves a partial destination.
std::error_code copyFile(const SystemPath& source, const SystemPath& destination, const CopyWatch& watch = {});

// Of the volume that holds the file's directory.
Result<Space> spaceFor(const SystemPath& file);

} // namespace quvo::runtime
