// SPDX-License-Identifier: MIT
// The window's drive list, filled from the machine's volumes off the window's thread.
#pragma once

#include <QtGlobal>

#include <thread>

namespace quvo::app {

class DriveSpeedWindow;

// Asks the volumes on a thread of its own and offers the window what they answered,
// so that the window shows, and answers its user, whatever the mounts do. The volumes
// are given bench::kVolumePatience, so the thread ends soon after; destruction waits
// for it.
class DriveListFiller {
public:
    explicit DriveListFiller(DriveSpeedWindow& window);
    ~DriveListFiller();
    Q_DISABLE_COPY_MOVE(DriveListFiller)

private:
    std::thread thread_;
};

} // namespace quvo::app
