// SPDX-License-Identifier: MIT
// File systems mounted for one test (Linux, as root): a tmpfs, a read-only bind, and a
// file system on a loop device as users have it on a disk.
#pragma once

#include "tests/support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace quvo::test {

// A file system mounted for one test and unmounted after it. Mounting needs root;
// callers skip with mountSkipReason() when it is not possible here.
class ScopedMount {
public:
    // A tmpfs of the given size on directory.
    static ScopedMount tmpfs(const std::filesystem::path& directory, const std::string& size);
    // source seen read-only at directory.
    static ScopedMount readOnlyBind(const std::filesystem::path& source, const std::filesystem::path& directory);

    ScopedMount(ScopedMount&& other) noexcept;
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    bool mounted() const { return !directory_.empty(); }
    const std::string& error() const { return error_; }

private:
    ScopedMount() = default;
    std::filesystem::path directory_;
    std::string error_;
};

// Why mounts cannot be made here, or empty when they can.
std::string mountSkipReason();

// A file system made on a loop device over a sparse file, mounted for one test, as a
// user has it on a disk. Needs root and the file system's mkfs; callers skip with
// error() when it could not be made.
class ScopedLoopMount {
public:
    struct Setup {
        std::string fileSystem;          // "ext4", "xfs", "btrfs"
        std::string mountOptions{};      // "compress-force=zstd", or empty
        unsigned sectorBytes = 512;      // the disk's logical sector
        std::uint64_t bytes = 512 << 20; // the disk's size
    };
    ScopedLoopMount(const Setup& setup, const std::filesystem::path& directory);
    ~ScopedLoopMount();
    ScopedLoopMount(const ScopedLoopMount&) = delete;
    ScopedLoopMount& operator=(const ScopedLoopMount&) = delete;

    const std::string& error() const { return error_; }
    // Bytes the disk has been asked to write since it was attached.
    std::uint64_t bytesWritten() const;

private:
    TempDir backing_{"quvo-loop"};
    std::filesystem::path directory_;
    std::string device_; // "/dev/loop3"
    bool mounted_ = false;
    std::string error_;
};

} // namespace quvo::test
