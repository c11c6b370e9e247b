// SPDX-License-Identifier: MIT
// Requests to stop a run: a flag that the file work reads between blocks, and the
// system's stop signals turned into it (each system's stop.cpp: posix/, windows/).
#pragma once

#include <atomic>
#include <memory>

namespace quvo::runtime {

// Raised from a signal handler, another thread or a front end; read between blocks of
// file work, so that a stop is honoured within one block's time, not at a row's end.
class StopFlag {
public:
    void raise() noexcept { raised_.store(true, std::memory_order_relaxed); }
    bool raised() const noexcept { return raised_.load(std::memory_order_relaxed); }

private:
    static_assert(std::atomic<bool>::is_always_lock_free, "raised from signal handlers");
    std::atomic<bool> raised_{false};
};

// While it lives, the system's requests to end the program (SIGINT, SIGTERM, SIGHUP;
// on Windows the console's Ctrl-C, Ctrl-Break and close, logoff and shutdown events)
// raise flag() instead, so that a run stops within a block and removes its files, and
// make wakeHandle() readable for an event loop that waits on it. Signals that would
// kill a writer outright (SIGPIPE on a closed output, SIGXFSZ past a file-size limit)
// are ignored, so that the write fails and the run cleans up. Afterwards the signals
// end the process as usual. One instance at a time.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Raised by the signals, and by the program where it has a reason of its own to stop.
    StopFlag& flag() const;
    // The number of the first stop signal that came, 0 while none has. Windows has no
    // signals: Ctrl-C and Ctrl-Break count as SIGINT, the console's close, logoff and
    // shutdown as SIGTERM, so that 128 plus the number means there what it means here.
    int signal() const;
    // Readable once a stop signal has come (the read end of a pipe); -1 where none
    // could be made, and always on Windows, whose console events come on a thread of
    // their own and only raise the flag.
    int wakeHandle() const;
    // Empties wakeHandle() once it was readable, so that it waits for the next signal.
    void drainWake() const;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

} // namespace quvo::runtime
