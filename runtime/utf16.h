// SPDX-License-Identifier: MIT
// UTF-8 inside the program, UTF-16 at the Windows API: the two conversions every Windows
// file of the program shares, the runtime's and the window's alike. Windows only
// (windows/text.cpp); unlike the seams beside it, it has no POSIX side, where the system
// takes UTF-8 as it is.
#pragma once

#include <string>
#include <string_view>

namespace quvo::runtime {

// Invalid sequences become U+FFFD rather than failing: a text is shown, never guessed at.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

} // namespace quvo::runtime
