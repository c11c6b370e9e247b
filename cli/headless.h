// SPDX-License-Identifier: MIT
// The headless front end: the measurement run on a directory, reported on a terminal.
#pragma once

#include "runtime/volumes.h"

#include <optional>
#include <span>
#include <string>

namespace quvo::cli {

// Exit status: 0 after a complete run, 1 when it failed, 2 for bad usage, and 128 plus
// the signal's number when SIGINT, SIGTERM or SIGHUP came, whether it stopped the run
// or came after its last step. args excludes the program name.
int runHeadless(std::span<const char* const> args);

inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A directory made ready for a run there: the one start of every headless run.
struct Target {
    std::string directory;                 // as the user named it, made absolute
    std::optional<runtime::Volume> volume; // as it stood before the run, asked once
    std::string driveText;                 // what the run reads as the drive list's entry
    std::string problem;                   // why no run can be made there; empty when one can
    int status = 0;                        // the exit status that goes with the problem
};

// Checks that given names a directory, makes it absolute, asks its volume and makes
// the directory the one the run's designation names (on Windows, the current
// directory of its drive).
Target prepareTarget(const std::string& given);

} // namespace quvo::cli
