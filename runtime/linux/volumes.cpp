// SPDX-License-Identifier: MIT
// Volumes on Linux, from the kernel's mount table. Reading the table touches no
// mounted file system; stat, statvfs and access do, and run on threads of their own.
#include "runtime/volumes.h"

#include "runtime/platform.h"

#include <algorithm>
#include <array>
#include <blkid/blkid.h>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <mntent.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace quvo::runtime {
namespace {

// Kernel interfaces and images, never a place to measure.
constexpr std::array kPseudoFileSystems = {"autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs",
    "devpts", "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore", "rpc_pipefs",
    "securityfs", "selinuxfs", "squashfs", "sysfs", "tracefs", "fuse.gvfsd-fuse", "fuse.portal"};

// Served from elsewhere over a network or by a process (FUSE and virtiofs, which has a
// daemon on the host): either may stop answering.
// Served by another machine, through the kernel or a FUSE daemon.
constexpr std::array kNetworkFileSystems = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ceph", "glusterfs", "9p",
    "afs", "coda", "davfs", "lustre", "gpfs", "beegfs", "orangefs", "virtiofs", "fuse.sshfs", "fuse.rclone",
    "fuse.s3fs", "fuse.gcsfuse", "fuse.davfs2", "fuse.glusterfs", "fuse.ceph"};

// Writes go to new places rather than over the old ones.
constexpr std::array kCopyOnWriteFileSystems = {"btrfs", "zfs", "bcachefs"};

constexpr std::array kRemoteFileSystems = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "ceph", "glusterfs", "9p",
    "afs", "coda", "davfs", "lustre", "gpfs", "beegfs", "orangefs", "virtiofs", "fuse", "fuseblk"};

template <std::size_t N>
bool isOneOf(std::string_view name, const std::array<const char*, N>& names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

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
        entries.push_back(
            {entry.mnt_dir, entry.mnt_type, ::hasmntopt(&entry, "ro") != nullptr, entry.mnt_fsname, entry.mnt_opts});
    return entries;
}

// The mount whose point is the longest prefix of path; of two on one point, the later,
// which hides the earlier.
const MountEntry* innermost(const std::vector<MountEntry>& table, std::string_view path)
{
    const MountEntry* found = nullptr;
    for (const MountEntry& entry : table)
        if (isUnder(path, entry.mountPoint)
            && (found == nullptr || entry.mountPoint.size() >= found->mountPoint.size()))
            found = &entry;
    return found;
}

std::string realPath(const std::string& path)
{
    const std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        return home;
    const struct passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? std::string(user->pw_dir) : std::string();
}

bool isFuse(std::string_view type)
{
    return type == "fuse" || type == "fuseblk" || type.starts_with("fuse.") || type.starts_with("fuseblk.");
}

bool hasOption(std::string_view options, std::string_view name)
{
    while (!options.empty()) {
        const auto comma = options.find(',');
        const std::string_view option = options.substr(0, comma);
        if (option == name || (option.starts_with(name) && option[name.size()] == '='))
            return true;
        options.remove_prefix(comma == std::string_view::npos ? options.size() : comma + 1);
    }
    return false;
}

// The file system on a block device, from its own superblock (where this user may read
// the device) or from what udev found there (where udev runs).
std::string fileSystemOnDevice(const std::string& device)
{
    if (!device.starts_with("/dev/"))
        return {};
    if (const blkid_probe probe = ::blkid_new_probe_from_filename(device.c_str())) {
        const char* type = nullptr;
        std::string found;
        if (::blkid_do_safeprobe(probe) == 0 && ::blkid_probe_lookup_value(probe, "TYPE", &type, nullptr) == 0)
            found = type;
        ::blkid_free_probe(probe);
        if (!found.empty())
            return found;
    }
    struct stat st { };
    if (::stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return {};
    std::ifstream udev(
        "/run/udev/data/b" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)));
    constexpr std::string_view kType = "E:ID_FS_TYPE=";
    for (std::string line; std::getline(udev, line);)
        if (line.starts_with(kType))
            return line.substr(kType.size());
    return {};
}

// A FUSE mount is known by its daemon's file system: the type's subtype ("fuse.sshfs"),
// else what its device holds (ntfs-3g and exFAT serve "fuseblk" from a disk).
std::string knownAs(const MountEntry& entry)
{
    const std::string_view type = entry.fileSystem;
    if (!isFuse(type))
        return entry.fileSystem;
    if (const auto dot = type.find('.'); dot != std::string_view::npos)
        return std::string(type.substr(dot + 1));
    const std::string onDevice = fileSystemOnDevice(entry.device);
    return onDevice.empty() ? entry.fileSystem : onDevice;
}

std::optional<Volume> measured(const MountEntry& entry)
{
    auto space = spaceOf(SystemPath(entry.mountPoint));
    if (!space)
        return std::nullopt;
    Volume volume{entry.mountPoint, knownAs(entry), entry.device, space->totalBytes, space->availableBytes};
    if (volume.fileSystem != entry.fileSystem)
        volume.mountType = entry.fileSystem;
    volume.traits = traitsOf(entry);
    // A file system on zram, a RAM disk or a loop file on a tmpfs is memory as a tmpfs is.
    volume.storage = storageOf(SystemPath(entry.mountPoint));
    volume.traits.memory = volume.traits.memory || volume.storage.memory;
    return volume;
}

// What every probe reads; shared, never changed.
struct Machine {
    std::vector<MountEntry> table;
    std::string current;
    std::string home;
};

struct Answer {
    VolumeProbe probe;
    dev_t device = 0;
};

// Everything one volume's probe asks of its file system.
std::optional<Answer> ask(const Machine& machine, const MountEntry& entry, bool holdsCurrent)
{
    struct stat st { };
    if (::stat(entry.mountPoint.c_str(), &st) != 0)
        return std::nullopt;
    auto volume = measured(entry);
    if (!volume || volume->totalBytes == 0)
        return std::nullopt;
    Answer answer{.probe = {.volume = std::move(*volume),
                      .directory = entry.mountPoint,
                      .holdsCurrentDirectory = holdsCurrent,
                      .answered = true},
        .device = st.st_dev};
    if (holdsCurrent) {
        answer.probe.directory = machine.current;
    } else if (!machine.home.empty() && innermost(machine.table, machine.home) == &entry) {
        // A home that is a link to another volume is not this volume's.
        if (innermost(machine.table, realPath(machine.home)) == &entry)
            answer.probe.directory = machine.home;
    }
    answer.probe.writable = ::faccessat(AT_FDCWD, answer.probe.directory.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    return answer;
}

// The probes' meeting point. Held by every probe thread as well, so that one stuck in
// the kernel past the deadline still has it when it returns, long after the caller.
struct Gathering {
    Machine machine;
    std::mutex mutex;
    std::condition_variable answered;
    std::vector<std::optional<Answer>> answers;
    std::size_t pending = 0;
};

} // namespace

bool isUserVolume(const MountEntry& entry)
{
    if (entry.readOnly || isOneOf(entry.fileSystem, kPseudoFileSystems))
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

VolumeTraits traitsOf(const MountEntry& entry)
{
    const std::string_view type = entry.fileSystem;
    VolumeTraits traits{.copyOnWrite = isOneOf(type, kCopyOnWriteFileSystems) && !hasOption(entry.options, "nodatacow"),
        .fuse = isFuse(type),
        .network = isOneOf(type, kNetworkFileSystems),
        .memory = isRamBacked(type)};
    if (type == "btrfs")
        traits.compression = hasOption(entry.options, "compress") || hasOption(entry.options, "compress-force");
    else if (type == "f2fs")
        traits.compression = hasOption(entry.options, "compress_algorithm");
    else if (type == "zfs" || type == "ntfs" || type == "ntfs3" || traits.fuse || traits.network)
        traits.compression = std::nullopt; // a property or attribute the mount table does not show
    else
        traits.compression = false;
    return traits;
}

bool mayNotAnswer(std::string_view fileSystem)
{
    return isOneOf(fileSystem, kRemoteFileSystems) || fileSystem.starts_with("fuse.");
}

bool isRamBacked(std::string_view fileSystem)
{
    return fileSystem == "tmpfs" || fileSystem == "ramfs";
}

std::vector<VolumeProbe> probeVolumes(std::chrono::milliseconds patience)
{
    const auto gathering = std::make_shared<Gathering>();
    Machine& machine = gathering->machine;
    machine.table = readMountTable();
    machine.current = currentDirectory();
    machine.home = homeDirectory();
    const MountEntry* current = machine.current.empty() ? nullptr : innermost(machine.table, machine.current);

    std::vector<const MountEntry*> asked;
    for (const MountEntry& entry : machine.table) {
        const bool holdsCurrent = &entry == current;
        if (holdsCurrent || (isUserVolume(entry) && !mayNotAnswer(entry.fileSystem)))
            asked.push_back(&entry);
    }
    gathering->answers.resize(asked.size());
    gathering->pending = asked.size();
    for (std::size_t i = 0; i < asked.size(); ++i) {
        try {
            std::thread([gathering, i, entry = asked[i], holdsCurrent = asked[i] == current] {
                auto answer = ask(gathering->machine, *entry, holdsCurrent);
                const std::lock_guard lock(gathering->mutex);
                gathering->answers[i] = std::move(answer);
                --gathering->pending;
                gathering->answered.notify_one();
            }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: that volume goes unasked.
            const std::lock_guard lock(gathering->mutex);
            --gathering->pending;
        }
    }

    std::vector<std::optional<Answer>> answers;
    {
        std::unique_lock lock(gathering->mutex);
        gathering->answered.wait_for(lock, patience, [&] { return gathering->pending == 0; });
        answers = gathering->answers;
    }

    std::vector<VolumeProbe> probes;
    std::vector<dev_t> devices;
    // The current directory's volume takes its file system's place before any repeat.
    for (std::size_t i = 0; i < asked.size(); ++i)
        if (asked[i] == current && answers[i])
            devices.push_back(answers[i]->device);
    for (std::size_t i = 0; i < asked.size(); ++i) {
        if (asked[i] == current) {
            if (answers[i]) {
                probes.push_back(std::move(answers[i]->probe));
            } else {
                probes.push_back({.volume = {current->mountPoint, current->fileSystem, current->device},
                    .directory = machine.current,
                    .holdsCurrentDirectory = true});
            }
            continue;
        }
        if (!answers[i] || std::find(devices.begin(), devices.end(), answers[i]->device) != devices.end())
            continue;
        devices.push_back(answers[i]->device);
        probes.push_back(std::move(answers[i]->probe));
    }
    return probes;
}

std::string currentDirectory()
{
    const std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    return cwd ? std::string(cwd.get()) : std::string();
}

std::optional<MountEntry> mountHolding(const std::string& directory)
{
    const std::vector<MountEntry> table = readMountTable();
    const MountEntry* entry = innermost(table, directory);
    return entry != nullptr ? std::optional<MountEntry>(*entry) : std::nullopt;
}

std::optional<Volume> volumeOf(const std::string& directory)
{
    const auto entry = mountHolding(realPath(directory));
    return entry ? measured(*entry) : std::nullopt;
}

} // namespace quvo::runtime
