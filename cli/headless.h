// SPDX-License-Identifier: MIT
// The headless front end: the measurement run on a directory, reported on a terminal.
#pragma once

#include <span>

namespace quvo::cli {

// Exit status: 0 after a complete run, 1 when it failed, 2 for bad usage, and 128 plus
// the signal's number when SIGINT, SIGTERM or SIGHUP came, whether it stopped the run
// or came after its last step. args excludes the program name.
int runHeadless(std::span<const char* const> args);

} // namespace quvo::cli
