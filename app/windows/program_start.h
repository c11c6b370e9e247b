// SPDX-License-Identifier: MIT
// What the window program does around its window: "--version" where a GUI program has
// no console of its own, COM for the shell that opens the link, and a start that fails.
#pragma once

#include <objbase.h>

#include <exception>

namespace quvo::app {

// Whether the program was started as "quvo-diskspeed.exe --version".
bool versionAsked();

// Writes the version line where the user reads it, before any window is made: to the
// output the program was given (a file or a pipe), else to the console of the program
// that started it, else in a message box. The program's exit status.
int showVersion();

// COM on the calling thread while it lives, as the shell wants it for ShellExecute,
// which may hand an address to an extension.
class ShellReady {
public:
    ShellReady() noexcept
        : ready_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~ShellReady()
    {
        if (ready_)
            ::CoUninitialize();
    }
    ShellReady(const ShellReady&) = delete;
    ShellReady& operator=(const ShellReady&) = delete;

private:
    bool ready_;
};

// Says in a message box why the window could not be made. The exit status.
int showStartFailure(const std::exception& error);

} // namespace quvo::app
