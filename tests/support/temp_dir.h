// SPDX-License-Identifier: MIT
// Real directories, mounts and files for tests that meet the file system for real.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quvo::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const std::string& name = "quvo-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

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

std::string readFile(const std::filesystem::path& path);
// A path as the program holds it, in UTF-8 (path.string() is the system's code page on
// Windows).
std::string utf8(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& content);

} // namespace quvo::test
