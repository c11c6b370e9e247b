// SPDX-License-Identifier: MIT
// A console program's text at the system's edge: its arguments and its output in
// UTF-8, as the program holds all text. Implemented by each system's console.cpp
// (posix/, windows/).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace quvo::runtime {

// The program's arguments after its name, in UTF-8. POSIX hands them over as bytes,
// which stay as they are; Windows hands main() the system code page's rendering, so
// they are read again from the wide command line.
std::vector<std::string> programArguments(int argc, char** argv);

// Lets a console show the UTF-8 the program prints (Windows: the console's output code
// page); output to a file or a pipe is bytes as they are everywhere.
void printUtf8ToConsole();

// Whether stream goes to a terminal (a console), not to a file or a pipe.
bool isTerminal(std::FILE* stream);

} // namespace quvo::runtime
