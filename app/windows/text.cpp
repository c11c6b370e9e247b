// SPDX-License-Identifier: MIT
#include "app/windows/text.h"

#include "runtime/utf16.h"

#include <climits>
#include <windows.h>

namespace quvo::app {

std::string systemCodePage(std::string_view utf8)
{
    const std::wstring text = runtime::widen(utf8);
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::string withWindowsLineEnds(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace quvo::app
