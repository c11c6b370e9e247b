// SPDX-License-Identifier: MIT
// quvo-diskspeed: the disk speed test's window.
#include "app/qt/drive_list_filler.h"
#include "app/qt/drive_speed_window.h"
#include "app/qt/look.h"
#include "app/qt/stop_signals.h"
#include "bench/drives.h"
#include "runtime/clock.h"
#include "version.h"

#include <QApplication>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    // Answered before QApplication exists, so that it needs no display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("%s\n", quvo::kVersionLine.data());
        return 0;
    }
    QApplication app(argc, argv);
    quvo::app::useFixedLook(app);
    quvo::runtime::SteadyClock clock;
    // The window shows at once with the current directory's entry; the other volumes
    // join the list when they have answered.
    quvo::app::DriveSpeedWindow window(quvo::bench::provisionalDrives(), clock);
    const quvo::app::CloseOnStopSignals stopSignals(window);
    window.show();
    const quvo::app::DriveListFiller drives(window);
    return QApplication::exec();
}
