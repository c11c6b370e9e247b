// SPDX-License-Identifier: MIT
// The record of a run, kept by the run itself as it sets the view's controls: what it
// showed and measured, for a report worth keeping. The window copies it to the
// clipboard as text, the headless front end writes it for scripts.
#pragma once

#include "bench/rows.h"

#include "runtime/platform.h"
#include "runtime/storage.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

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
struct Measurement {
    double value = NAN;      // the caption's number; NaN when it could not be computed
    double seconds = NAN;    // the caption's elapsed time, or the sustained write's window
    std::uint64_t bytes = 0; // what the row wrote, read or copied; none for lookups and deletes
    CutShort cut = CutShort::No;
    WindowProgress progress{}; // the sustained write's; none for the other rows
};

// A row of the run as it stands: its bar and caption as the window has them, and what
// lies behind them.
struct RowRecord {
    std::string text; // the caption, as the window shows it
    float barTwips = kResetTwips;
    // Nothing until the row has a result.
    std::optional<Measurement> measured;
    // How the row's data went to or came from the medium; nothing for a row that moves
    // no data (lookups, deletes) or has not said.
    std::optional<runtime::DataPath> path;
    // Whether the file was seen gone from the system's cache after it was written (its
    // writer's drop, seen again by its reader); nothing where the system cannot tell
    // or nothing was left to drop.
    std::optional<bool> droppedFromCache;
    // The link the figure is faster than: the data cannot all have crossed it in the
    // time, so some came from elsewhere (a cache); nothing where it is not, or the link
    // is not known.
    std::optional<runtime::Link> aboveLink;
};

// Whether a measured row's figure may be the system's memory rather than the device: a
// memory medium, or a row that read what the cache may still have held.
bool mayBeFromMemory(int row, const RowRecord& record);

// Whether a measured row's figure may not be the device's: it may be memory's, or it is
// faster than the device's link can carry.
bool mayNotBeDevice(int row, const RowRecord& record);

// Whether the sustained write slowed within its window: its last second wrote less than
// 70 % of its first. bytesAt is WindowProgress's; a window that ended early lacks a whole
// last second and gets no verdict.
bool droppedWithinWindow(std::span<const std::uint64_t> bytesAt);

class RunRecord {
public:
    // A run starts on the drive text it read: the moment is taken, earlier rows go.
    void start(std::string driveText);
    void setStatusText(std::string_view text) { status_ = text; }
    void setBarWidth(int row, float twips) { rows_.at(static_cast<std::size_t>(row)).barTwips = twips; }
    void setResultText(int row, std::string_view text) { rows_.at(static_cast<std::size_t>(row)).text = text; }
    // The row's result: what it measured, held against the link beneath.
    void setMeasurement(int row, const Measurement& measured);
    // A whole row as another record has it (a copy kept on another thread).
    void setRow(int row, RowRecord record) { rows_.at(static_cast<std::size_t>(row)) = std::move(record); }
    void setPath(int row, runtime::DataPath path, std::optional<bool> droppedFromCache);
    // The directory was held against a second run; false where it could not be locked.
    void setLocked(bool locked) { locked_ = locked; }
    // What lies beneath the directory, asked before the first row: each row shown after
    // is held against its link.
    void setStorage(runtime::Storage storage) { storage_ = std::move(storage); }

    // Whether a run has started; a record of no run holds no drive, date or row.
    bool started() const { return started_ != std::chrono::system_clock::time_point{}; }
    std::chrono::system_clock::time_point startedAt() const { return started_; }
    const std::string& driveText() const { return driveText_; }
    const std::string& status() const { return status_; }
    bool locked() const { return locked_; }
    const runtime::Storage& storage() const { return storage_; }
    const std::array<RowRecord, kRowCount>& rows() const { return rows_; }

private:
    std::chrono::system_clock::time_point started_{};
    std::string driveText_;
    std::string status_;
    bool locked_ = false;
    runtime::Storage storage_;
    std::array<RowRecord, kRowCount> rows_{};
};

// Why the sustained write ended early, for scripts: stable and ASCII ("space",
// "file_size_limit", "quota"); the empty text where it did not.
std::string_view cutShortId(CutShort cut);

// How the data went, for scripts: stable and ASCII ("direct", "buffered_dropped",
// "buffered_forced", "direct_refused", "memory").
std::string_view dataPathId(runtime::DataPath path);

// What lies beneath a volume, for scripts: stable and ASCII. A bus ("nvme", "sata",
// "usb", ...; empty where not known), a level of the stack ("partition", "loop", ...)
// and a kind of link ("pcie", "usb", "sata").
std::string_view busId(runtime::Bus bus);
std::string_view levelKindId(runtime::LevelKind kind);
std::string_view linkKindId(runtime::LinkKind kind);

// "2026-12-07T11:02:03Z": ISO 8601, UTC, to the second.
std::string utcTimestamp(std::chrono::system_clock::time_point when);

} // namespace quvo::bench
