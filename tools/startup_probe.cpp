// SPDX-License-Identifier: MIT
// quvo-startup-probe: the program's own start-up (WindowProgram, as main.cpp makes
// it), up to the window on screen; prints the wall-clock time (microseconds since the epoch)
// at the start of main and once the window is exposed and painted, for
// scripts/measure-startup.
#include "app/qt/program.h"

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
    quvo::app::WindowProgram program(app);
    if (!QTest::qWaitForWindowExposed(&program.window()))
        return 1;
    const long long shown = microsecondsNow();
    std::printf("main %lld\nshown %lld\n", entered, shown);
    return 0;
}
