// SPDX-License-Identifier: MIT
// Console text on Windows: arguments from the wide command line, output to a console as
// UTF-16. Nothing here loads user32: a console program that loads it (shell32's
// CommandLineToArgvW does) is no longer told of logoff and shutdown
// (CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT), and is ended without removing its files.
#include "runtime/console.h"

#include "runtime/windows/text.h"

#include <cstdarg>
#include <io.h>
#include <windows.h>

namespace quvo::runtime {
namespace {

// The console stream writes to, or null for a file, a pipe or a device such as NUL,
// which a console's own mode question fails for (and _isatty does not).
HANDLE consoleOf(std::FILE* stream)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}

} // namespace

void startConsoleProgram()
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

// The command line split as the C runtime and CommandLineToArgvW split it: blanks and
// tabs part arguments outside quotes; 2n backslashes before a quote are n backslashes
// and the quote opens or closes quoting, 2n+1 are n and a quote taken as it is; other
// backslashes stand for themselves; inside quotes, two quotes are one taken as it is.
// The program's name, the first argument, ends at its closing quote or first blank,
// whatever backslashes it holds.
std::vector<std::string> programArguments(int, char**)
{
    const std::wstring_view line = ::GetCommandLineW();
    std::vector<std::string> arguments;
    std::size_t at = 0;
    if (at < line.size() && line[at] == L'"') {
        const auto close = line.find(L'"', at + 1);
        at = close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (at < line.size() && line[at] != L' ' && line[at] != L'\t')
        ++at;
    for (;;) {
        while (at < line.size() && (line[at] == L' ' || line[at] == L'\t'))
            ++at;
        if (at == line.size())
            return arguments;
        std::wstring argument;
        bool quoted = false;
        while (at < line.size() && (quoted || (line[at] != L' ' && line[at] != L'\t'))) {
            std::size_t backslashes = 0;
            while (at < line.size() && line[at] == L'\\') {
                ++backslashes;
                ++at;
            }
            if (at < line.size() && line[at] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                    argument += L'"';
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument.append(backslashes, L'\\');
                if (at < line.size() && (quoted || (line[at] != L' ' && line[at] != L'\t')))
                    argument += line[at++];
            }
        }
        arguments.push_back(narrow(argument));
    }
}

void printTo(std::FILE* stream, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    va_list counting;
    va_copy(counting, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);

    const HANDLE console = consoleOf(stream);
    if (console == nullptr) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    // What the C runtime still holds for the console goes first.
    std::fflush(stream);
    const std::wstring wide = widen(text);
    DWORD written = 0;
    ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

bool isTerminal(std::FILE* stream)
{
    return consoleOf(stream) != nullptr;
}

} // namespace quvo::runtime
