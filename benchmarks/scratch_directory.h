// SPDX-License-Identifier: MIT
// Where the benchmarks write: a directory whose medium costs almost nothing, so that
// what they time is the tool's own work.
#pragma once

#include <string>

namespace quvo::benchmarks {

class ScratchDirectory {
public:
    // A tmpfs of its own when the process may mount one (root), else a fresh directory
    // under /dev/shm; a non-empty given directory is used as it is, for measuring a
    // real medium on purpose. Throws std::runtime_error when none can be had.
    explicit ScratchDirectory(const std::string& given);
    // Unmounts or removes what the constructor made; a given directory is left alone.
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    // "tmpfs mounted for the benchmarks", "/dev/shm" or "given".
    const std::string& origin() const { return origin_; }
    // The file system's type as the system names it: "tmpfs", "ext4", ...
    std::string fileSystem() const;

private:
    std::string path_;
    std::string origin_;
    bool mounted_ = false;
    bool created_ = false;
};

} // namespace quvo::benchmarks
