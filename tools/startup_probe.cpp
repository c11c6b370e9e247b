// SPDX-License-Identifier: MIT
// quvo-startup-probe: the program's start-up, step for step as main.cpp does it, up
// to the window on screen; prints the wall-clock time (microseconds since the epoch)
// at the start of main and once the window is exposed and painted, for
// scripts/measure-startup.
#include "app/qt/drive_list_filler.h"
#include "app/qt/drive_speed_window.h"
#include "app/qt/look.h"
#include "app/qt/stop_signals.h"
#include "bench/drives.h"
#include "runtime/clock.h"

#include <QApplication>
#include <QTest>

#include <chrono>
#include <cstdio>

namespace {

long long microsecondsNow()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

int main(int argc, char** argv)
{
    const long long entered = microsecondsNow();
    QApplication app(argc, argv);
    quvo::app::useFixedLook(app);
    quvo::runtime::SteadyClock clock;
    quvo::app::DriveSpeedWindow window(quvo::bench::provisionalDrives(), clock);
    const quvo::app::CloseOnStopSignals stopSignals(window);
    window.show();
    const quvo::app::DriveListFiller drives(window);
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const long long shown = microsecondsNow();
    std::printf("main %lld\nshown %lld\n", entered, shown);
    return 0;
}
