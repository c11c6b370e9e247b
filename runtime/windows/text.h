// SPDX-License-Identifier: MIT
// UTF-8 inside the program, UTF-16 at the Windows API: the conversions every Windows
// file of the runtime shares; private to them (nothing outside runtime/windows/ includes it).
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace quvo::runtime {

// Invalid sequences become U+FFFD rather than failing: a name is shown, never guessed at.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// A path as the wide-character API takes it. Paths of MAX_PATH and more go in their long
// form (\\?\C:\... or \\?\UNC\server\share\...), which the system takes whether or not the
// program is marked long-path aware and long paths are allowed; shorter ones as they are.
std::wstring systemPath(const std::string& path);

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
