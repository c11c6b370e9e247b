// SPDX-License-Identifier: MIT
// Mounts for tests on Linux: mount(2) for the tmpfs and the bind, the system's tools for
// loop disks.
#include "tests/support/mounts.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>
#include <utility>

namespace quvo::test {

ScopedMount ScopedMount::tmpfs(const std::filesystem::path& directory, const std::string& size)
{
    ScopedMount mount;
    const std::string options = "size=" + size + ",mode=0755";
    if (::mount("tmpfs", directory.c_str(), "tmpfs", 0, options.c_str()) == 0)
        mount.directory_ = directory;
    else
        mount.error_ = std::strerror(errno);
    return mount;
}

ScopedMount ScopedMount::readOnlyBind(const std::filesystem::path& source, const std::filesystem::path& directory)
{
    ScopedMount mount;
    if (::mount(source.c_str(), directory.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        mount.error_ = std::strerror(errno);
        return mount;
    }
    mount.directory_ = directory;
    if (::mount(nullptr, directory.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        mount.error_ = std::strerror(errno);
    return mount;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : directory_(std::exchange(other.directory_, {}))
    , error_(std::move(other.error_))
{
}

ScopedMount::~ScopedMount()
{
    if (!directory_.empty())
        ::umount2(directory_.c_str(), MNT_DETACH);
}

std::string mountSkipReason()
{
    if (::geteuid() != 0)
        return "mounting a tmpfs or a read-only bind needs root";
    TempDir probe("quvo-mount-probe");
    const auto mount = ScopedMount::tmpfs(probe.path(), "1m");
    return mount.mounted() ? std::string() : "mount refused here: " + mount.error();
}

namespace {

// A shell command's standard output, or nothing when it failed.
std::optional<std::string> commandOutput(const std::string& command)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return std::nullopt;
    std::string output;
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr)
        output += buffer.data();
    if (::pclose(pipe) != 0)
        return std::nullopt;
    return output;
}

// Quoted for the shell.
std::string shellQuoted(const std::string& text)
{
    std::string result = "'";
    for (const char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

} // namespace

ScopedLoopMount::ScopedLoopMount(const Setup& setup, const std::filesystem::path& directory)
    : directory_(directory)
{
    if (::geteuid() != 0) {
        error_ = "loop devices and mounts need root";
        return;
    }
    const std::filesystem::path image = backing_ / "disk.img";
    const auto attached = commandOutput("truncate -s " + std::to_string(setup.bytes) + " " + shellQuoted(image.string())
        + " && losetup --find --show --sector-size " + std::to_string(setup.sectorBytes) + " "
        + shellQuoted(image.string()));
    if (!attached || attached->empty()) {
        error_ = "losetup failed";
        return;
    }
    device_ = attached->substr(0, attached->find('\n'));
    const std::string options = setup.mountOptions.empty() ? "" : " -o " + shellQuoted(setup.mountOptions);
    if (!commandOutput("mkfs." + setup.fileSystem + " -q " + shellQuoted(device_) + " >/dev/null 2>&1")) {
        error_ = "mkfs." + setup.fileSystem + " failed or is missing";
        return;
    }
    if (!commandOutput(
            "mount" + options + " " + shellQuoted(device_) + " " + shellQuoted(directory_.string()) + " 2>&1")) {
        error_ = "mounting " + setup.fileSystem + " failed";
        return;
    }
    mounted_ = true;
}

ScopedLoopMount::~ScopedLoopMount()
{
    if (mounted_)
        ::umount2(directory_.c_str(), 0);
    if (!device_.empty())
        (void)commandOutput("losetup -d " + shellQuoted(device_));
}

std::uint64_t ScopedLoopMount::bytesWritten() const
{
    // The block layer's statistics: the seventh field counts 512-byte sectors written.
    const std::string name = device_.substr(device_.find_last_of('/') + 1);
    std::istringstream stat(readFile("/sys/block/" + name + "/stat"));
    std::uint64_t field = 0;
    for (int i = 0; i < 7; ++i)
        stat >> field;
    return field * 512;
}

} // namespace quvo::test
