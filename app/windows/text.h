// SPDX-License-Identifier: MIT
// The window's text at the Win32 API beyond the UTF-16 of the wide calls (runtime/utf16.h):
// the system code page for the 8-bit ones, and the clipboard's line ends.
#pragma once

#include <string>
#include <string_view>

namespace quvo::app {

// The 8-bit text an "A" call takes (ShellExecuteA): the bytes of the system's code page
// (CP_ACP: 936, GBK, on a Simplified Chinese system); what it cannot hold becomes its
// default character.
std::string systemCodePage(std::string_view utf8);

// Text with Windows line ends, as the clipboard's text holds it: each LF becomes CR LF.
std::string withWindowsLineEnds(std::string_view text);

} // namespace quvo::app
