// SPDX-License-Identifier: MIT
#include "app/qt/drive_list_filler.h"

#include "app/qt/drive_speed_window.h"
#include "bench/drives.h"

#include <QMetaObject>

namespace quvo::app {

DriveListFiller::DriveListFiller(DriveSpeedWindow& window)
    : thread_([&window] {
        bench::DriveList drives = bench::offeredDrives();
        // Posted to the window's thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            &window, [&window, drives = std::move(drives)] { window.offerDrives(drives); }, Qt::QueuedConnection);
    })
{
}

DriveListFiller::~DriveListFiller()
{
    thread_.join();
}

} // namespace quvo::app
