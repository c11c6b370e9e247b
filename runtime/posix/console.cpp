// SPDX-License-Identifier: MIT
// Console text on POSIX systems: bytes in, bytes out.
#include "runtime/console.h"

#include <unistd.h>

namespace quvo::runtime {

std::vector<std::string> programArguments(int argc, char** argv)
{
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

void printUtf8ToConsole()
{
}

bool isTerminal(std::FILE* stream)
{
    return ::isatty(::fileno(stream)) == 1;
}

} // namespace quvo::runtime
