// SPDX-License-Identifier: MIT
// Console text on POSIX systems: bytes in, bytes out.
#include "runtime/console.h"

#include <cstdarg>
#include <unistd.h>

namespace quvo::runtime {

void startConsoleProgram()
{
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void printTo(std::FILE* stream, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stream, format, arguments);
    va_end(arguments);
}

bool isTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace quvo::runtime
