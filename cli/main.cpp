// SPDX-License-Identifier: MIT
// quvo-diskspeed-cli: the disk speed test without a window.
#include "cli/headless.h"
#include "runtime/console.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    quvo::runtime::startConsoleProgram();
    const std::vector<std::string> arguments = quvo::runtime::programArguments(argc, argv);
    std::vector<const char*> texts;
    for (const std::string& argument : arguments)
        texts.push_back(argument.c_str());
    return quvo::cli::runHeadless(texts);
}
