// SPDX-License-Identifier: MIT
#include "app/windows/drive_list_filler.h"

#include "app/windows/drive_speed_window.h"

#include <utility>

namespace quvo::app {

DriveListFiller::DriveListFiller(HWND window)
    : thread_([this, window] {
        drives_ = bench::offeredDrives();
        // Dropped with the window's queue if it is closed by then.
        ::PostMessageW(window, DriveSpeedWindow::kDrivesAnswered, 0, reinterpret_cast<LPARAM>(this));
    })
{
}

DriveListFiller::~DriveListFiller()
{
    if (thread_.joinable())
        thread_.join();
}

bench::DriveList DriveListFiller::answer()
{
    // The thread posted its last act; joining makes what it wrote this thread's to read.
    thread_.join();
    return std::move(drives_);
}

} // namespace quvo::app
