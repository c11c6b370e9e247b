// SPDX-License-Identifier: MIT
// Whole-file operations where POSIX differs: a link is a name of its own, and a FIFO
// would block an open that read it.
#include "runtime/file_ops.h"

#include "runtime/errors.h"
#include "runtime/test_file.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(LookUpFile, ALinkIsNotFollowed)
{
    TempDir dir;
    test::writeFile(dir / "file.txt", "x");
    fs::create_symlink(dir / "file.txt", dir / "link");
    const auto found = lookUpFile(test::systemPath(dir / "link"));
    ASSERT_TRUE(found) << found.error().message();
    EXPECT_EQ(*found, "");
}

TEST(HostileNames, ReadingRefusesAnythingButARegularFile)
{
    TempDir dir;
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TestFile file;
    EXPECT_EQ(file.openForInput(test::systemPath(fifo)), Errc::notRegularFile); // and does not block
    EXPECT_EQ(copyFile(test::systemPath(fifo), test::systemPath(dir / "copy")), Errc::notRegularFile);
}

// A network file system may show the run's own file as another account's (an export that
// maps every user to one, a share): the run still empties and removes it, while a file
// of that account that was there before is still refused.
TEST(HostileNames, AFileThisProcessCreatedIsItsOwnWhateverOwnerItShows)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another account";
    TempDir dir;
    const fs::path created = dir / "DriveSpeedTest.txt";
    const fs::path before = dir / "DriveSpeedTest2.txt";
    TestFile file;
    ASSERT_FALSE(file.openForOutput(test::systemPath(created)));
    ASSERT_FALSE(file.close());
    test::writeFile(before, "there before the run");
    for (const fs::path& path : {created, before})
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0) << path;

    EXPECT_FALSE(checkReplaceableFile(test::systemPath(created)));
    EXPECT_FALSE(file.openForOutput(test::systemPath(created)));
    EXPECT_FALSE(file.close());
    EXPECT_FALSE(removeOwnedFile(test::systemPath(created)));
    EXPECT_FALSE(fs::exists(created));
    EXPECT_EQ(checkReplaceableFile(test::systemPath(before)), Errc::ownedByOtherUser);
    EXPECT_EQ(file.openForOutput(test::systemPath(before)), Errc::ownedByOtherUser);
    EXPECT_EQ(removeOwnedFile(test::systemPath(before)), Errc::ownedByOtherUser);
    EXPECT_EQ(test::readFile(before), "there before the run");
}

} // namespace
} // namespace quvo::runtime
