// SPDX-License-Identifier: MIT
// quvo-diskspeed-cli: the disk speed test without a window.
#include "cli/headless.h"

int main(int argc, char** argv)
{
    return quvo::cli::runHeadless({argv + 1, static_cast<std::size_t>(argc - 1)});
}
