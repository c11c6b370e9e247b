// SPDX-License-Identifier: MIT
// quvo-diskspeed.exe: the disk speed test's window on Windows.
#include "app/windows/drive_list_filler.h"
#include "app/windows/drive_speed_window.h"
#include "app/windows/program_start.h"
#include "bench/drives.h"
#include "runtime/clock.h"

#include <windows.h>

#include <exception>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand)
{
    // An empty card reader or disc drive fails the call that reaches it, rather than
    // asking the user for a disk.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    if (quvo::app::versionAsked())
        return quvo::app::showVersion();
    const quvo::app::ShellReady shell;
    try {
        quvo::runtime::SteadyClock clock;
        // The window shows at once with the current directory's entry; the other
        // volumes join the list when they have answered.
        quvo::app::DriveSpeedWindow window(quvo::bench::provisionalDrives(), clock);
        window.show(showCommand);
        const quvo::app::DriveListFiller drives(window.handle());
        return quvo::app::runMessageLoop(window);
    } catch (const std::exception& error) {
        return quvo::app::showStartFailure(error);
    }
}
