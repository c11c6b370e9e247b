// SPDX-License-Identifier: MIT
// What every Windows file of the runtime shares at the wide-character API beyond the
// conversions: paths and errors. Private to them (nothing outside runtime/windows/
// includes it).
#pragma once

#include "runtime/utf16.h"

#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

// A path as the wide-character API takes it. Paths of MAX_PATH and more go in their long
// form (\\?\C:\... or \\?\UNC\server\share\...), which the system takes whether or not the
// program is marked long-path aware and long paths are allowed; shorter ones as they are.
std::wstring systemPath(const std::string& path);

// The full path, as GetFullPathNameW resolves it: "c:" is the drive's current directory,
// "c:name" a file in it; the path as it is where the system resolves nothing.
std::string fullPath(std::string_view path);

// Windows errors (ERROR_...) as std::error_code. They compare with the portable std::errc
// values as the system category does (ERROR_FILE_NOT_FOUND equals
// no_such_file_or_directory, ...), and their message is the system's own text in the
// user's language, taken as UTF-16 and given in UTF-8 on one line, whatever the code
// page (the system category's comes in the ANSI code page, with a line end).
const std::error_category& windowsCategory() noexcept;
std::error_code windowsError(unsigned long error);
// The calling thread's last Windows error.
std::error_code lastWindowsError();

} // namespace quvo::runtime
