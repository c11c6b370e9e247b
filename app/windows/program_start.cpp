// SPDX-License-Identifier: MIT
#include "app/windows/program_start.h"

#include "app/window_layout.h"
#include "bench/wording.h"
#include "runtime/utf16.h"
#include "version.h"

#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace quvo::app {
namespace {

bool writeLine(HANDLE output, const std::string& line)
{
    DWORD written = 0;
    return ::WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) != 0
        && written == line.size();
}

// A system message (what() of a std::system_error) is in the system code page.
std::wstring fromSystemCodePage(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wideText(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wideText.data(), length);
    wideText.resize(wideText.size() - 1);
    return wideText;
}

} // namespace

bool versionAsked()
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (arguments == nullptr)
        return false;
    const bool asked = count == 2 && std::wcscmp(arguments[1], L"--version") == 0;
    ::LocalFree(arguments);
    return asked;
}

int showVersion()
{
    const std::string line = std::string(kVersionLine) + "\r\n";
    const HANDLE given = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (given != nullptr && given != INVALID_HANDLE_VALUE && ::GetFileType(given) != FILE_TYPE_UNKNOWN
        && writeLine(given, line))
        return 0;
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = ::CreateFileW(
            L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool written = console != INVALID_HANDLE_VALUE && writeLine(console, line);
        if (console != INVALID_HANDLE_VALUE)
            ::CloseHandle(console);
        ::FreeConsole();
        if (written)
            return 0;
    }
    ::MessageBoxW(nullptr, runtime::widen(kVersionLine).c_str(), runtime::widen(kWindowTitle).c_str(),
        MB_OK | MB_ICONINFORMATION);
    return 0;
}

int showStartFailure(const std::exception& error)
{
    const std::wstring text = runtime::widen(bench::kWindowFailedText) + fromSystemCodePage(error.what());
    ::MessageBoxW(nullptr, text.c_str(), runtime::widen(kWindowTitle).c_str(), MB_OK | MB_ICONERROR);
    return 1;
}

} // namespace quvo::app
