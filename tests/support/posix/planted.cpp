// SPDX-License-Identifier: MIT
// Things planted at a test file's name on POSIX systems: links, special files, and (as
// root) a device node and another user's file.
#include "tests/support/planted.h"

#include "tests/support/temp_dir.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace quvo::test {
namespace {

namespace fs = std::filesystem;
using runtime::Errc;

// A listening socket's name stays in the directory after its descriptor is closed.
std::string plantSocket(const fs::path& at)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    at.string().copy(address.sun_path, sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound ? "" : "bind failed";
}

std::string unlessRoot(std::string_view what)
{
    return ::geteuid() == 0 ? std::string() : "making " + std::string(what) + " needs root";
}

} // namespace

const std::vector<Planted>& plantedThings()
{
    static const std::vector<Planted> things = {
        {"LinkToAFileOutside", "link to a file outside",
            [](const fs::path& at, const fs::path& outside) {
                fs::create_symlink(outside, at);
                return std::string();
            },
            Errc::notRegularFile},
        {"DanglingLink", "dangling link",
            [](const fs::path& at, const fs::path& outside) {
                fs::create_symlink(outside.parent_path() / "nowhere", at);
                return std::string();
            },
            Errc::notRegularFile},
        {"Directory", "directory",
            [](const fs::path& at, const fs::path&) { return fs::create_directory(at) ? "" : "mkdir failed"; },
            Errc::notRegularFile},
        {"Fifo", "FIFO",
            [](const fs::path& at, const fs::path&) { return ::mkfifo(at.c_str(), 0600) == 0 ? "" : "mkfifo failed"; },
            Errc::notRegularFile},
        {"Socket", "socket", [](const fs::path& at, const fs::path&) { return plantSocket(at); }, Errc::notRegularFile},
        {"HardLinkToAFileOutside", "hard link to a file outside",
            [](const fs::path& at, const fs::path& outside) {
                fs::create_hard_link(outside, at);
                return std::string();
            },
            Errc::hasOtherLinks},
        {"Device", "device node",
            [](const fs::path& at, const fs::path&) {
                if (auto why = unlessRoot("a device node"); !why.empty())
                    return why;
                return ::mknod(at.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0 ? std::string() : "mknod failed";
            },
            Errc::notRegularFile},
        {"AnotherUsersFile", "another user's file",
            [](const fs::path& at, const fs::path&) {
                if (auto why = unlessRoot("another user's file"); !why.empty())
                    return why;
                writeFile(at, "theirs");
                return ::chown(at.c_str(), 65534, 65534) == 0 ? std::string() : "chown failed";
            },
            Errc::ownedByOtherUser},
    };
    return things;
}

} // namespace quvo::test
