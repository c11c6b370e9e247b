// SPDX-License-Identifier: MIT
// Whole-file operations, and what they do when the name holds something not ours.
#include "runtime/file_ops.h"

#include "runtime/errors.h"
#include "runtime/numbered_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(LookUpFile, FindsOnlyRegularFilesAndGivesTheirName)
{
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    fs::create_directory(dir / "directory");
    fs::create_symlink(dir / "file.txt", dir / "link");
    const struct {
        const char* name;
        std::string pathText;
        const char* found;
    } cases[] = {
        {"regular file", (dir / "file.txt").string(), "file.txt"},
        {"nothing there", (dir / "missing.txt").string(), ""},
        {"inside a missing directory", (dir / "missing" / "x").string(), ""},
        {"a directory is not an ordinary file", (dir / "directory").string(), ""},
        {"a link is not followed", (dir / "link").string(), ""},
    };
    for (const auto& c : cases) {
        const auto found = lookUpFile(c.pathText);
        ASSERT_TRUE(found) << c.name << ": " << found.error().message();
        EXPECT_EQ(*found, c.found) << c.name;
    }
}

TEST(CopyFile, CopiesEveryByteAndReplacesTheDestination)
{
    TempDir dir;
    const std::string content = std::string(NumberedFiles::kBlockSize * 2 + 17, 'X') + "\nend";
    writeFile(dir / "source", content);
    writeFile(dir / "destination", std::string(NumberedFiles::kBlockSize * 3, 'o'));
    ASSERT_FALSE(copyFile((dir / "source").string(), (dir / "destination").string()));
    EXPECT_EQ(readFile(dir / "destination"), content);
    EXPECT_EQ(copyFile((dir / "missing").string(), (dir / "other").string()), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "other"));
}

TEST(DeleteFile, RemovesOurFileAndFailsWhenNothingIsThere)
{
    TempDir dir;
    writeFile(dir / "file", "x");
    EXPECT_FALSE(deleteFile((dir / "file").string()));
    EXPECT_FALSE(fs::exists(dir / "file"));
    EXPECT_EQ(deleteFile((dir / "file").string()), std::errc::no_such_file_or_directory);
}

void bindSocket(const fs::path& at)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    at.string().copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
}

// Something planted at a test file's name, and the error every operation must give.
struct Planted {
    const char* name;
    std::function<bool(const fs::path& at, const fs::path& outside)> plant;
    Errc expected;
    bool needsRoot = false; // a device node, another user's file
};

const Planted kPlanted[] = {
    {"link to a file outside",
        [](const fs::path& at, const fs::path& outside) {
            fs::create_symlink(outside, at);
            return true;
        },
        Errc::notRegularFile},
    {"dangling link",
        [](const fs::path& at, const fs::path& outside) {
            fs::create_symlink(outside.parent_path() / "nowhere", at);
            return true;
        },
        Errc::notRegularFile},
    {"directory", [](const fs::path& at, const fs::path&) { return fs::create_directory(at); }, Errc::notRegularFile},
    {"fifo", [](const fs::path& at, const fs::path&) { return ::mkfifo(at.c_str(), 0600) == 0; }, Errc::notRegularFile},
    {"socket",
        [](const fs::path& at, const fs::path&) {
            bindSocket(at);
            return fs::is_socket(at);
        },
        Errc::notRegularFile},
    {"hard link to a file outside",
        [](const fs::path& at, const fs::path& outside) {
            fs::create_hard_link(outside, at);
            return true;
        },
        Errc::hasOtherLinks},
    {"device",
        [](const fs::path& at, const fs::path&) { return ::mknod(at.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; },
        Errc::notRegularFile, /*needsRoot=*/true},
    {"another user's file",
        [](const fs::path& at, const fs::path&) {
            writeFile(at, "theirs");
            return ::chown(at.c_str(), 65534, 65534) == 0;
        },
        Errc::ownedByOtherUser, /*needsRoot=*/true},
};

// Every operation on a planted name fails with the planted thing's error and leaves it,
// and the file outside, as they were.
void expectEveryOperationRefused(bool needingRoot)
{
    TempDir dir;
    const fs::path outside = dir / "outside.txt";
    const struct {
        const char* name;
        std::function<std::error_code(const std::string&)> act;
    } operations[] = {
        {"open for output",
            [](const std::string& p) {
                NumberedFiles f;
                return f.openForOutput(1, p);
            }},
        {"streamed open for output",
            [](const std::string& p) {
                NumberedFiles f;
                return f.openForOutput(1, p, WriteMode::Streaming);
            }},
        {"copy onto it", [&](const std::string& p) { return copyFile(outside.string(), p); }},
        {"delete", [](const std::string& p) { return deleteFile(p); }},
        {"check before a run", [](const std::string& p) { return checkReplaceable(p); }},
    };
    for (const Planted& thing : kPlanted) {
        if (thing.needsRoot != needingRoot)
            continue;
        for (const auto& operation : operations) {
            writeFile(outside, "outside, unchanged");
            const fs::path at = dir / "DriveSpeedTest.txt";
            fs::remove_all(at);
            ASSERT_TRUE(thing.plant(at, outside)) << thing.name;
            const auto before = fs::symlink_status(at).type();
            EXPECT_EQ(operation.act(at.string()), thing.expected) << thing.name << ", " << operation.name;
            EXPECT_EQ(fs::symlink_status(at).type(), before) << thing.name << ", " << operation.name;
            EXPECT_EQ(readFile(outside), "outside, unchanged") << thing.name << ", " << operation.name;
        }
    }
}

TEST(HostileNames, NothingAtATestFileNameIsFollowedOpenedOrRemovedUnlessItIsOurs)
{
    expectEveryOperationRefused(/*needingRoot=*/false);
}

TEST(HostileNames, DevicesAndOtherUsersFilesAreRefusedToo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node or another user's file needs root";
    expectEveryOperationRefused(/*needingRoot=*/true);
}

TEST(HostileNames, ReadingRefusesAnythingButARegularFile)
{
    TempDir dir;
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    NumberedFiles files;
    EXPECT_EQ(files.openForInput(1, fifo.string()), Errc::notRegularFile); // and does not block
    EXPECT_EQ(copyFile(fifo.string(), (dir / "copy").string()), Errc::notRegularFile);
}

} // namespace
} // namespace quvo::runtime
