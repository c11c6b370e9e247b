// SPDX-License-Identifier: MIT
#include "benchmarks/scratch_directory.h"

#include "runtime/volumes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

namespace quvo::benchmarks {
namespace {

// Room for the largest benchmark file (64 MiB of lines) and its reference twin.
constexpr const char* kTmpfsOptions = "size=256m,mode=0700";

std::string freshDirectory(const std::string& parent)
{
    std::string pattern = parent + "/quvo-benchmarks-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp in " + parent + ": " + std::strerror(errno));
    return pattern;
}

} // namespace

ScratchDirectory::ScratchDirectory(const std::string& given)
{
    if (!given.empty()) {
        if (!std::filesystem::is_directory(given))
            throw std::runtime_error("not a directory: " + given);
        path_ = std::filesystem::absolute(given).lexically_normal().string();
        origin_ = "given";
        return;
    }
    if (::geteuid() == 0) {
        path_ = freshDirectory(std::filesystem::temp_directory_path().string());
        created_ = true;
        if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, kTmpfsOptions) == 0) {
            mounted_ = true;
            origin_ = "tmpfs mounted for the benchmarks";
            return;
        }
        ::rmdir(path_.c_str());
        created_ = false;
    }
    path_ = freshDirectory("/dev/shm");
    created_ = true;
    origin_ = "/dev/shm";
}

ScratchDirectory::~ScratchDirectory()
{
    if (mounted_)
        ::umount2(path_.c_str(), MNT_DETACH);
    if (created_) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string ScratchDirectory::fileSystem() const
{
    const auto volume = runtime::volumeOf(path_);
    return volume ? volume->fileSystem : "unknown";
}

} // namespace quvo::benchmarks
