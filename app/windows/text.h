// SPDX-License-Identifier: MIT
// The window's text at the Win32 API: UTF-8 inside the program, UTF-16 for the wide
// calls, the system code page for the 8-bit ones.
#pragma once

#include "runtime/windows/utf16.h"

#include <string>
#include <string_view>

namespace quvo::app {

// Invalid sequences become U+FFFD: a text is shown, never guessed at.
inline std::wstring wide(std::string_view utf8)
{
    return runtime::widen(utf8);
}
inline std::string utf8(std::wstring_view wide)
{
    return runtime::narrow(wide);
}

// The 8-bit text an "A" call takes (ShellExecuteA): the bytes of the system's code page
// (CP_ACP: 936, GBK, on a Simplified Chinese system); what it cannot hold becomes its
// default character.
std::string systemCodePage(std::string_view utf8);

// Text with Windows line ends, as the clipboard's text holds it: each LF becomes CR LF.
std::string withWindowsLineEnds(std::string_view text);

} // namespace quvo::app
