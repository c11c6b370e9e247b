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

// The calling thread's last Windows error, in the system category, which compares
// equal to the portable std::errc values (ERROR_FILE_NOT_FOUND to no_such_file_or_directory, ...).
std::error_code lastWindowsError();

} // namespace quvo::runtime
