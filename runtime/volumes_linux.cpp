// SPDX-License-Identifier: MIT
// Volumes on Linux, from the kernel's mount table.
#include "runtime/volumes.h"

#include "runtime/designation.h"
#include "runtime/number_format.h"
#include "runtime/platform.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <memory>
#include <mntent.h>
#include <pwd.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace quvo::runtime {
namespace {

// Kernel interfaces and images, never a place to measure.
constexpr std::array kPseudoFileSystems = {"autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs",
    "devpts", "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore", "ramfs", "rpc_pipefs",
    "securityfs", "selinuxfs", "squashfs", "sysfs", "tracefs", "fuse.gvfsd-fuse", "fuse.portal"};

bool isUnder(std::string_view path, std::string_view directory)
{
    if (directory == "/")
        return path.starts_with('/');
    return path == directory
        || (path.size() > directory.size() && path.starts_with(directory) && path[directory.size()] == '/');
}

std::vector<MountEntry> readMountTable()
{
    std::vector<MountEntry> entries;
    const std::unique_ptr<FILE, int (*)(FILE*)> table(::setmntent("/proc/self/mounts", "r"), ::endmntent);
    if (!table)
        return entries;
    struct mntent entry { };
    std::array<char, 4 * PATH_MAX> buffer{};
    while (::getmntent_r(table.get(), &entry, buffer.data(), static_cast<int>(buffer.size())) != nullptr)
        entries.push_back({entry.mnt_dir, entry.mnt_type, ::hasmntopt(&entry, "ro") != nullptr});
    return entries;
}

std::optional<Volume> measured(const MountEntry& entry)
{
    auto space = spaceOf(entry.mountPoint);
    if (!space)
        return std::nullopt;
    return Volume{entry.mountPoint, entry.fileSystem, space->totalBytes, space->availableBytes};
}

std::string realPath(const std::string& path)
{
    const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string currentDirectory()
{
    const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    return cwd ? std::string(cwd.get()) : std::string();
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        return home;
    const struct passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? std::string(user->pw_dir) : std::string();
}

bool liesOn(const std::string& directory, const Volume& volume)
{
    if (directory.empty())
        return false;
    const auto holder = volumeOf(directory);
    return holder && holder->mountPoint == volume.mountPoint;
}

} // namespace

bool isUserVolume(const MountEntry& entry)
{
    if (entry.readOnly)
        return false;
    if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), entry.fileSystem) != kPseudoFileSystems.end())
        return false;
    // Container layers: only the root itself is where the user works.
    if (entry.fileSystem == "overlay" && entry.mountPoint != "/")
        return false;
    // The kernel's own trees; removable media under /run/media are kept.
    for (const std::string_view tree : {"/proc", "/sys", "/dev"})
        if (isUnder(entry.mountPoint, tree))
            return false;
    if (entry.fileSystem == "tmpfs" && isUnder(entry.mountPoint, "/run"))
        return false;
    return true;
}

std::vector<Volume> listVolumes()
{
    std::vector<Volume> volumes;
    std::set<dev_t> devices;
    for (const MountEntry& entry : readMountTable()) {
        if (!isUserVolume(entry))
            continue;
        struct stat st { };
        if (::stat(entry.mountPoint.c_str(), &st) != 0 || !devices.insert(st.st_dev).second)
            continue;
        auto volume = measured(entry);
        if (volume && volume->totalBytes > 0)
            volumes.push_back(std::move(*volume));
    }
    return volumes;
}

std::optional<Volume> volumeOf(const std::string& directory)
{
    const std::string path = realPath(directory);
    const std::vector<MountEntry> table = readMountTable();
    const MountEntry* innermost = nullptr;
    for (const MountEntry& entry : table) {
        // A later mount on the same point hides the earlier one, hence >=.
        if (isUnder(path, entry.mountPoint)
            && (innermost == nullptr || entry.mountPoint.size() >= innermost->mountPoint.size()))
            innermost = &entry;
    }
    if (innermost == nullptr)
        return std::nullopt;
    return measured(*innermost);
}

std::string targetDirectory(const Volume& volume)
{
    for (const std::string& candidate : {currentDirectory(), homeDirectory()})
        if (liesOn(candidate, volume))
            return candidate;
    return volume.mountPoint;
}

std::string driveText(std::string_view directory, const Volume& volume)
{
    return designationFor(directory) + " [" + volume.fileSystem + ", " + formatSize(volume.availableBytes) + " 可用]";
}

} // namespace quvo::runtime
