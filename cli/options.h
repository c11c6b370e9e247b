// SPDX-License-Identifier: MIT
// The headless front end's command line: [--json] [--quiet] [--prometheus FILE] [--]
// [DIRECTORY], --plan [--] [DIRECTORY], --list, --version or --help.
#pragma once

#include <span>
#include <string>

namespace quvo::cli {

struct Options {
    bool version = false; // --version: print the version line, nothing else
    bool json = false;
    bool help = false;
    bool list = false;        // print the drive list instead of running
    bool quiet = false;       // no lines as the run goes: only a failure, or the JSON report
    bool plan = false;        // say what a run in the directory may write, instead of running
    std::string prometheus{}; // also write the run, for a textfile collector, to this file
    std::string directory = ".";

    friend bool operator==(const Options&, const Options&) = default;
};

struct ParsedArguments {
    Options options;
    std::string error; // empty when the command line is usable

    friend bool operator==(const ParsedArguments&, const ParsedArguments&) = default;
};

// args excludes the program name.
ParsedArguments parseArguments(std::span<const char* const> args);

} // namespace quvo::cli
