// SPDX-License-Identifier: MIT
// Prints the arguments the runtime reads from this program's command line, each ended
// by a NUL, for the test that compares them with the system's own split.
#include "runtime/console.h"

#include <cstdio>

int main(int argc, char** argv)
{
    for (const std::string& argument : quvo::runtime::programArguments(argc, argv))
        std::fwrite(argument.c_str(), 1, argument.size() + 1, stdout);
    return 0;
}
