// SPDX-License-Identifier: MIT
// The stack beneath a volume on Linux, from sysfs: /sys/dev/block names a block device's
// directory, whose `partition`, `dm/`, `md/`, `loop/` and `slaves/` say what it is and
// what lies beneath it, and whose ancestors are the hardware it hangs from: a USB device
// and its speed, an ATA port and its link, an NVMe controller and its PCIe function.
//
// Everything is read with plain path calls, and symbolic links are resolved by reading
// them rather than by realpath(), so that a tree umockdev redirects /sys into reads the
// same as the kernel's.
#include "runtime/linux/block_stack.h"

#include "runtime/volumes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <linux/magic.h>
#include <memory>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quvo::runtime {
namespace linux_storage {
namespace {

// A stack deeper than this loops (a loop device over a file on itself): it ends there.
constexpr int kDeepest = 16;

std::string trimmed(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// A sysfs attribute, which fits a page; nothing where there is none.
std::optional<std::string> attribute(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::array<char, 4096> buffer{};
    const ssize_t read = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    if (read < 0)
        return std::nullopt;
    return trimmed(std::string_view(buffer.data(), static_cast<std::size_t>(read)));
}

bool exists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

std::string baseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string parentOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos || slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

// Where the link at path leads, or path itself where it is no link. Every link sysfs
// has is relative and lies in a directory that is no link itself.
std::string resolved(const std::string& path)
{
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (length <= 0)
        return path;
    const std::string_view to(target.data(), static_cast<std::size_t>(length));
    if (to.starts_with('/'))
        return std::string(to);
    return std::filesystem::path(parentOf(path) + "/" + std::string(to)).lexically_normal().string();
}

std::vector<std::string> entriesOf(const std::string& directory)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get()))
        if (std::string_view name = entry->d_name; name != "." && name != "..")
            names.emplace_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

// "8.0 GT/s PCIe", "6.0 Gbps", "480": a rate in units of 10^9 or 10^6 a second, as
// whole millions; nothing for "Unknown" or a fraction of a million ("1.5" Mb/s).
std::optional<std::uint32_t> millions(const std::optional<std::string>& text, double perUnit)
{
    if (!text)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text->c_str(), &end) * perUnit;
    if (end == text->c_str() || !(value >= 1) || value > 1e6 || value != static_cast<std::uint32_t>(value))
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> count(const std::optional<std::string>& text)
{
    return millions(text, 1);
}

bool memoryFileSystem(const struct statfs& fs)
{
    return fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC;
}

// The ATA IDENTIFY data as libata shows it: 256 words in hex.
std::vector<std::uint16_t> identifyWords(const std::optional<std::string>& text)
{
    std::vector<std::uint16_t> words;
    if (!text)
        return words;
    const char* at = text->c_str();
    for (char* end = nullptr; words.size() < 256; at = end) {
        const unsigned long word = std::strtoul(at, &end, 16);
        if (end == at)
            break;
        words.push_back(static_cast<std::uint16_t>(word));
    }
    return words;
}

// Its model, words 27 to 46: two characters a word, the first in the high byte. (SCSI's
// view of an ATA disk keeps only the first 16.)
std::string identifiedModel(const std::vector<std::uint16_t>& words)
{
    if (words.size() < 47)
        return {};
    std::string model;
    for (std::size_t i = 27; i <= 46; ++i) {
        model += static_cast<char>(words[i] >> 8);
        model += static_cast<char>(words[i] & 0xFF);
    }
    return trimmed(model);
}

// The fastest SATA generation the drive supports, from word 76 (bits 1 to 3: 1.5, 3 and
// 6 Gb/s); 0 and all ones mean it does not say.
std::optional<LinkRate> identifiedSataRate(const std::vector<std::uint16_t>& words)
{
    if (words.size() <= 76 || words[76] == 0 || words[76] == 0xFFFF)
        return std::nullopt;
    for (const auto& [bit, megabits] : {std::pair{3, 6000u}, std::pair{2, 3000u}, std::pair{1, 1500u}})
        if ((words[76] & (1u << bit)) != 0)
            return LinkRate{megabits, 1};
    return std::nullopt;
}

class Walk {
public:
    explicit Walk(std::string sysfs)
        : sysfs_(std::move(sysfs))
    {
    }

    void fromDevice(dev_t device, const std::string& holder, int depth)
    {
        const std::string number = std::to_string(major(device)) + ":" + std::to_string(minor(device));
        const std::string link = sysfs_ + "/dev/block/" + number;
        if (exists(link))
            fromDirectory(resolved(link), holder, depth);
    }

    void fromFile(const std::string& path, const std::string& holder, int depth);

    Storage storage;

private:
    bool known(const std::string& name) const
    {
        return std::any_of(storage.levels.begin(), storage.levels.end(),
            [&](const StorageLevel& level) { return level.name == name; });
    }
    void add(std::string name, LevelKind kind, const std::string& holder)
    {
        storage.levels.push_back({std::move(name), kind, holder});
    }
    void fromDirectory(const std::string& directory, const std::string& holder, int depth);
    void membersOf(const std::string& directory, const std::string& name, int depth);
    Disk diskAt(const std::string& directory, const std::string& name) const;
    std::string subsystemOf(const std::string& directory) const { return baseName(resolved(directory + "/subsystem")); }

    std::string sysfs_;
};

void Walk::fromFile(const std::string& path, const std::string& holder, int depth)
{
    if (depth > kDeepest)
        return;
    // A file removed while a loop device holds it is known by the directory it was in.
    struct stat st { };
    const std::string on = ::stat(path.c_str(), &st) == 0 ? path : parentOf(path);
    if (on != path && ::stat(on.c_str(), &st) != 0)
        return;
    struct statfs fs { };
    if (::statfs(on.c_str(), &fs) == 0 && memoryFileSystem(fs)) {
        add(fs.f_type == TMPFS_MAGIC ? "tmpfs" : "ramfs", LevelKind::MemoryFileSystem, holder);
        storage.memory = true;
        return;
    }
    const std::string number = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    if (exists(sysfs_ + "/dev/block/" + number)) {
        fromDevice(st.st_dev, holder, depth);
        return;
    }
    // A file system that numbers itself apart from its device (btrfs): the mount table
    // names the device, and for btrfs sysfs names every device it spans.
    const std::unique_ptr<char, void (*)(void*)> real(::realpath(on.c_str(), nullptr), std::free);
    const auto mount = mountHolding(real ? real.get() : on);
    struct stat device { };
    if (!mount || !mount->device.starts_with("/dev/") || ::stat(mount->device.c_str(), &device) != 0
        || !S_ISBLK(device.st_mode))
        return;
    if (mount->fileSystem == "btrfs") {
        const std::string name = baseName(resolved(sysfs_ + "/dev/block/" + std::to_string(major(device.st_rdev)) + ":"
            + std::to_string(minor(device.st_rdev))));
        for (const std::string& fsid : entriesOf(sysfs_ + "/fs/btrfs")) {
            const std::string devices = sysfs_ + "/fs/btrfs/" + fsid + "/devices";
            if (!exists(devices + "/" + name))
                continue;
            for (const std::string& member : entriesOf(devices))
                fromDirectory(resolved(devices + "/" + member), holder, depth);
            return;
        }
    }
    fromDevice(device.st_rdev, holder, depth);
}

void Walk::fromDirectory(const std::string& directory, const std::string& holder, int depth)
{
    const std::string name = baseName(directory);
    if (depth > kDeepest || name.empty() || known(name))
        return;
    if (exists(directory + "/partition")) {
        add(name, LevelKind::Partition, holder);
        fromDirectory(parentOf(directory), name, depth + 1);
    } else if (exists(directory + "/dm")) {
        add(name, LevelKind::DeviceMapper, holder);
        membersOf(directory, name, depth);
    } else if (exists(directory + "/md")) {
        add(name, LevelKind::Md, holder);
        membersOf(directory, name, depth);
    } else if (name.starts_with("loop") && exists(directory + "/loop")) {
        add(name, LevelKind::Loop, holder);
        std::string file = attribute(directory + "/loop/backing_file").value_or("");
        // A file removed while the loop device holds it is still on its volume.
        if (constexpr std::string_view kDeleted = " (deleted)"; file.ends_with(kDeleted))
            file.resize(file.size() - kDeleted.size());
        if (!file.empty()) {
            add(file, LevelKind::File, name);
            fromFile(file, file, depth + 1);
        }
    } else if (name.starts_with("zram")) {
        add(name, LevelKind::Zram, holder);
        storage.memory = true;
    } else if (name.starts_with("ram") && directory.find("/devices/virtual/") != std::string::npos) {
        add(name, LevelKind::RamDisk, holder);
        storage.memory = true;
    } else if (!entriesOf(directory + "/slaves").empty()) {
        add(name, LevelKind::Stacked, holder);
        membersOf(directory, name, depth);
    } else {
        add(name, LevelKind::Disk, holder);
        storage.disks.push_back(diskAt(directory, name));
    }
}

void Walk::membersOf(const std::string& directory, const std::string& name, int depth)
{
    for (const std::string& member : entriesOf(directory + "/slaves"))
        fromDirectory(resolved(directory + "/slaves/" + member), name, depth + 1);
}

// The disk's names, and its bus and link from the hardware it hangs from: the first
// ancestor that says decides the bus, and an NVMe controller's PCIe function its link.
Disk Walk::diskAt(const std::string& directory, const std::string& name) const
{
    Disk disk{.name = name};
    std::string device = exists(directory + "/device") ? resolved(directory + "/device") : std::string();
    // A multipath NVMe namespace hangs from its subsystem; its paths from controllers.
    if (const auto paths = entriesOf(directory + "/multipath"); !paths.empty())
        device = parentOf(resolved(directory + "/multipath/" + paths.front()));
    if (device.empty())
        return disk;
    disk.vendor = attribute(device + "/vendor").value_or("");
    disk.model = attribute(device + "/model").value_or("");

    const std::string top = sysfs_ + "/devices";
    for (std::string at = device; at.size() > top.size() && at.starts_with(top); at = parentOf(at)) {
        const std::string subsystem = subsystemOf(at);
        const std::string part = baseName(at);
        if (subsystem == "usb" && exists(at + "/speed")) {
            disk.bus = Bus::Usb;
            if (const auto speed = count(attribute(at + "/speed"))) {
                disk.link = Link{.kind = LinkKind::Usb, .current = {*speed, 1}};
                // bcdUSB, " 3.20": a USB 3 device does 5 Gb/s at least.
                const int version = std::atoi(attribute(at + "/version").value_or("0").c_str());
                if (version >= 1)
                    disk.link->capable = LinkRate{version >= 3 ? 5000u : version == 2 ? 480u : 12u, 1};
            }
            break;
        }
        if (part.size() > 3 && part.starts_with("ata") && std::isdigit(static_cast<unsigned char>(part[3]))) {
            // One link, unless a port multiplier fans it out, whose links this does not tell.
            const auto links = entriesOf(at);
            std::vector<std::string> linkNames;
            std::copy_if(links.begin(), links.end(), std::back_inserter(linkNames),
                [](const std::string& entry) { return entry.starts_with("link"); });
            std::optional<std::uint32_t> speed;
            std::vector<std::uint16_t> identify;
            if (linkNames.size() == 1) {
                const std::string link = at + "/" + linkNames.front();
                speed = millions(attribute(link + "/ata_link/" + linkNames.front() + "/sata_spd"), 1000);
                for (const std::string& entry : entriesOf(link))
                    if (entry.starts_with("dev"))
                        identify = identifyWords(attribute(link + "/" + entry + "/ata_device/" + entry + "/id"));
            }
            disk.bus = speed ? Bus::Sata : Bus::Ata;
            if (disk.vendor == "ATA") // what SCSI calls every ATA disk's maker
                disk.vendor.clear();
            if (const std::string model = identifiedModel(identify); !model.empty())
                disk.model = model;
            if (speed)
                disk.link
                    = Link{.kind = LinkKind::Sata, .current = {*speed, 1}, .capable = identifiedSataRate(identify)};
            break;
        }
        if (part.starts_with("end_device-")) {
            disk.bus = Bus::Sas;
            break;
        }
        if (subsystem == "virtio") {
            disk.bus = Bus::Virtio;
            break;
        }
        if (subsystem == "mmc") {
            disk.bus = attribute(at + "/type") == "MMC" ? Bus::Mmc : Bus::Sd;
            disk.model = attribute(at + "/name").value_or(disk.model);
            break;
        }
        if (subsystem == "firewire") {
            disk.bus = Bus::Ieee1394;
            break;
        }
        if (subsystem == "nvme") {
            const auto transport = attribute(at + "/transport");
            disk.bus = !transport || transport == "pcie" ? Bus::Nvme : Bus::NvmeOverFabrics;
            if (disk.model.empty())
                disk.model = attribute(at + "/model").value_or("");
            if (disk.bus == Bus::NvmeOverFabrics)
                break;
            for (std::string pci = parentOf(at); pci.size() > top.size(); pci = parentOf(pci)) {
                const auto speed = millions(attribute(pci + "/current_link_speed"), 1000);
                const auto width = count(attribute(pci + "/current_link_width"));
                if (!speed || !width)
                    continue;
                disk.link = Link{.kind = LinkKind::Pcie, .current = {*speed, *width}};
                const auto most = millions(attribute(pci + "/max_link_speed"), 1000);
                const auto lanes = count(attribute(pci + "/max_link_width"));
                if (most && lanes)
                    disk.link->capable = LinkRate{*most, *lanes};
                break;
            }
            break;
        }
        if (subsystem == "pci")
            break; // the controller: whatever lies beyond it is not this disk's bus
        if (subsystem == "scsi")
            disk.bus = Bus::Scsi; // unless an ancestor says more
    }
    // Numbers where a name would be (virtio's vendor "0x1af4") are no name.
    if (disk.vendor.starts_with("0x"))
        disk.vendor.clear();
    return disk;
}

} // namespace

Storage storageOfDevice(const std::string& sysfs, dev_t device)
{
    Walk walk(sysfs);
    walk.fromDevice(device, {}, 0);
    return std::move(walk.storage);
}

Storage storageOfFile(const std::string& sysfs, const std::string& path)
{
    Walk walk(sysfs);
    walk.fromFile(path, {}, 0);
    return std::move(walk.storage);
}

} // namespace linux_storage

Storage storageOf(const SystemPath& directory)
{
    return linux_storage::storageOfFile("/sys", directory.text());
}

} // namespace quvo::runtime
