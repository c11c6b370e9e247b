// SPDX-License-Identifier: MIT
// The window's drive list, filled from the machine's volumes off the window's thread.
#pragma once

#include "bench/drives.h"

#include <windows.h>

#include <thread>

namespace quvo::app {

// Asks the volumes on a thread of its own and posts the window
// DriveSpeedWindow::kDrivesAnswered when they have answered, so that the window shows,
// and answers its user, whatever the drives do. The volumes are given
// bench::kVolumePatience, so the thread ends soon after; destruction waits for it.
class DriveListFiller {
public:
    explicit DriveListFiller(HWND window);
    ~DriveListFiller();
    DriveListFiller(const DriveListFiller&) = delete;
    DriveListFiller& operator=(const DriveListFiller&) = delete;

    // What the volumes answered: once, on the window's thread, when the message came.
    bench::DriveList answer();

private:
    bench::DriveList drives_;
    std::thread thread_;
};

} // namespace quvo::app
