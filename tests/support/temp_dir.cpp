// SPDX-License-Identifier: MIT
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>
#include <utility>

namespace quvo::test {

TempDir::TempDir(const std::string& name)
{
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

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

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string utf8(const std::filesystem::path& path)
{
    return path.string();
}

void writeFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace quvo::test
