// SPDX-License-Identifier: MIT
// A console program's text at the system's edge: its arguments and its output in
// UTF-8, as the program holds all text. Implemented by each system's console.cpp
// (posix/, windows/).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quvo::runtime {

// First thing in a console program. On Windows, a drive that is not ready (an empty
// card reader, a stick pulled during a run) fails the call that touches it instead of
// holding the program in the system's "insert a disk" dialog.
void startConsoleProgram();

// The program's arguments after its name, in UTF-8. POSIX hands them over as bytes,
// which stay as they are; Windows hands main() the system code page's rendering, so
// they are read again from the wide command line.
std::vector<std::string> programArguments(int argc, char** argv);

// Prints as std::fprintf does, the result being UTF-8 text. A Windows console takes it
// as UTF-16, the whole text at once, whatever its code page, which stays as the user
// left it; a file or a pipe gets the bytes everywhere.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void printTo(std::FILE* stream, const char* format, ...);

// Whether stream goes to a terminal (a console), not to a file, a pipe or a device such
// as NUL.
bool isTerminal(std::FILE* stream);

} // namespace quvo::runtime
