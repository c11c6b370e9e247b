// SPDX-License-Identifier: MIT
// The runtime's own failures, beside the system's errno values, as std::error_code.
#pragma once

#include <system_error>

namespace quvo::runtime {

enum class Errc {
    fileNotOpen = 1, // or not open in the direction asked for
    pastEndOfFile,   // a read after the last line
    notRegularFile,  // a directory, link, FIFO, socket or device where a test file belongs
    ownedByOtherUser,
    replacedWhileOpening, // the name pointed at another file by the time it was opened
    hasOtherLinks,        // a hard link: emptying the file would empty another name's file too
    directoryInUse,       // another run holds the directory
    stopped,              // a stop was requested between two blocks
    reserveReached,       // going on would take space the volume must keep free
    designationElsewhere, // the directory's designation and a name would name a file elsewhere
};

const std::error_category& runtimeCategory() noexcept;

inline std::error_code make_error_code(Errc e) noexcept
{
    return {static_cast<int>(e), runtimeCategory()};
}

} // namespace quvo::runtime

template <>
struct std::is_error_code_enum<quvo::runtime::Errc> : std::true_type {
};
