// SPDX-License-Identifier: MIT
// Console text on Windows: arguments from the wide command line, output in UTF-8.
#include "runtime/console.h"

#include "runtime/windows/text.h"

#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace quvo::runtime {

std::vector<std::string> programArguments(int, char**)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(narrow(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void printUtf8ToConsole()
{
    ::SetConsoleOutputCP(CP_UTF8);
}

bool isTerminal(std::FILE* stream)
{
    return ::_isatty(::_fileno(stream)) != 0;
}

} // namespace quvo::runtime
