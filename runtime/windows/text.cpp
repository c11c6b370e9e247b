// SPDX-License-Identifier: MIT
#include "runtime/windows/text.h"

#include <climits>
#include <string>
#include <windows.h>

namespace quvo::runtime {

std::wstring widen(std::string_view utf8)
{
    if (utf8.empty() || utf8.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string narrow(std::wstring_view wide)
{
    if (wide.empty() || wide.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(wide.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

// The long form skips the system's normalising, so the path is first made full and
// normal (GetFullPathNameW), as every path the runtime hands over already is.
std::wstring systemPath(const std::string& path)
{
    std::wstring wide = widen(path);
    if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\"))
        return wide;
    const DWORD length = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length)
        return wide;
    full.resize(written);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\')
        return L"\\\\?\\" + full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return wide;
}

std::string fullPath(std::string_view path)
{
    const std::wstring text = widen(path);
    if (text.empty())
        return {};
    // The length with the terminating NUL when the buffer is too small; without it on success.
    DWORD length = ::GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    while (length > full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0)
        return std::string(path);
    full.resize(length);
    return narrow(full);
}

namespace {

class WindowsCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "windows"; }

    std::string message(int value) const override
    {
        wchar_t* text = nullptr;
        // MAX_WIDTH_MASK: the message's own line breaks become blanks.
        const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
            nullptr, static_cast<DWORD>(value), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        std::wstring message(text != nullptr ? text : L"", length);
        ::LocalFree(text);
        for (wchar_t& c : message)
            if (c == L'\r' || c == L'\n' || c == L'\t')
                c = L' ';
        const auto first = message.find_first_not_of(L' ');
        const auto last = message.find_last_not_of(L' ');
        if (first == std::wstring::npos)
            return "Windows error " + std::to_string(static_cast<unsigned long>(value));
        return narrow(std::wstring_view(message).substr(first, last - first + 1));
    }

    std::error_condition default_error_condition(int value) const noexcept override
    {
        return std::system_category().default_error_condition(value);
    }
};

} // namespace

const std::error_category& windowsCategory() noexcept
{
    static const WindowsCategory category;
    return category;
}

std::error_code windowsError(unsigned long error)
{
    return {static_cast<int>(error), windowsCategory()};
}

std::error_code lastWindowsError()
{
    return windowsError(::GetLastError());
}

} // namespace quvo::runtime
