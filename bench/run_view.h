// SPDX-License-Identifier: MIT
// What the measurement run needs of a window: the drive list's selection, the status
// line, each row's bar and result, and its event loop. The window, the headless front
// end and the tests each implement it.
#pragma once

#include "bench/rows.h"
#include "runtime/stop.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quvo::bench {

// Why the sustained write's window ended before its three seconds.
enum class CutShort {
    No,
    Space,         // its file and the copy of it would have cut into the space kept free
    FileSizeLimit, // its file reached the largest the target takes
    Quota,         // the user's disk quota refused more
};

// How far the sustained write had got: the bytes written by each quarter second of its
// window, the last at the window's end; fewer than kWindowQuarters where it ended early.
struct WindowProgress {
    std::array<std::uint64_t, kWindowQuarters> bytesAt{};
    int quarters = 0;

    std::span<const std::uint64_t> noted() const { return {bytesAt.data(), static_cast<std::size_t>(quarters)}; }
};

// What a row measured, beside what its bar and caption show.
struct RowReport {
    double value = NAN;      // the caption's number; NaN when it could not be computed
    double seconds = NAN;    // the caption's elapsed time, or the sustained write's window
    std::uint64_t bytes = 0; // what the row wrote, read or copied; none for lookups and deletes
    CutShort cut = CutShort::No;
    WindowProgress progress{}; // the sustained write's; none for the other rows
};

struct RowRecord;

class RunView {
public:
    virtual ~RunView() = default;

    // The selected entry of the drive list.
    virtual std::string driveText() = 0;
    virtual void setStatusText(std::string_view text) = 0;
    // Row 0 to 8. Twips: 1/1440 inch, 15 per pixel at 96 dpi.
    virtual void setBarWidth(int row, float twips) = 0;
    virtual void setResultText(int row, std::string_view text) = 0;
    // Lets the window repaint and take input. Called only between measurements.
    virtual void pumpEvents() = 0;
    // Asked after every pump: true ends the run there, its test files removed.
    virtual bool stopRequested() = 0;
    // Read between blocks of file work, where there is one: raised, it ends the run
    // within a block, the row in progress abandoned and its test files removed.
    virtual const runtime::StopFlag* stopFlag() { return nullptr; }
    // The row is about to be measured: nothing the view does here is timed.
    virtual void rowStarted(int /*row*/) { }
    // A row's bar and caption are set; shown is the run's record of it, for front
    // ends that report more than the window shows.
    virtual void rowShown(int /*row*/, const RowRecord& /*shown*/) { }
    // How a shown row's data met the device is known (its record's path): told after
    // the row, since looking at the cache takes time of its own.
    virtual void rowPathKnown(int /*row*/, const RowRecord& /*shown*/) { }
};

} // namespace quvo::bench
