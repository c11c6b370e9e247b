// SPDX-License-Identifier: MIT
// Whole-file operations on every system, what they do when a test file's name holds
// something not ours, and the lock that keeps a second run out of a directory.
#include "runtime/file_ops.h"

#include "runtime/errors.h"
#include "runtime/test_file.h"
#include "tests/support/planted.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::systemPath;
using test::TempDir;
using test::writeFile;

TEST(LookUpFile, FindsOnlyRegularFilesAndGivesTheirName)
{
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    fs::create_directory(dir / "directory");
    const struct {
        const char* name;
        SystemPath path;
        const char* found;
    } cases[] = {
        {"regular file", systemPath(dir / "file.txt"), "file.txt"},
        {"nothing there", systemPath(dir / "missing.txt"), ""},
        {"inside a missing directory", systemPath(dir / "missing" / "x"), ""},
        {"a directory is not an ordinary file", systemPath(dir / "directory"), ""},
    };
    for (const auto& c : cases) {
        const auto found = lookUpFile(c.path);
        ASSERT_TRUE(found) << c.name << ": " << found.error().message();
        EXPECT_EQ(*found, c.found) << c.name;
    }
}

TEST(CopyFile, CopiesEveryByteAndReplacesTheDestination)
{
    TempDir dir;
    const std::string content = std::string(TestFile::kBlockSize * 2 + 17, 'X') + "\nend";
    writeFile(dir / "source", content);
    writeFile(dir / "destination", std::string(TestFile::kBlockSize * 3, 'o'));
    ASSERT_FALSE(copyFile(systemPath(dir / "source"), systemPath(dir / "destination")));
    EXPECT_EQ(readFile(dir / "destination"), content);
    EXPECT_EQ(copyFile(systemPath(dir / "missing"), systemPath(dir / "other")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "other"));
}

TEST(RemoveOwnedFile, RemovesOurFileAndFailsWhenNothingIsThere)
{
    TempDir dir;
    writeFile(dir / "file", "x");
    EXPECT_FALSE(removeOwnedFile(systemPath(dir / "file")));
    EXPECT_FALSE(fs::exists(dir / "file"));
    EXPECT_EQ(removeOwnedFile(systemPath(dir / "file")), std::errc::no_such_file_or_directory);
}

TEST(DirectoryLock, OneRunHoldsADirectoryAndOthersStillUseIt)
{
    TempDir dir;
    writeFile(dir / "there", "x");
    {
        auto first = lockDirectory(systemPath(dir.path()));
        ASSERT_TRUE(first) << first.error().message();
        EXPECT_EQ(lockDirectory(systemPath(dir.path())).error(), Errc::directoryInUse);
        EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "there");
        writeFile(dir / "added", "x");
        EXPECT_EQ(readFile(dir / "added"), "x");
    }
    EXPECT_TRUE(lockDirectory(systemPath(dir.path())));
}

// Every operation on a planted name fails with the planted thing's refusal and leaves
// it, and the file outside, as they were.
class HostileNames : public ::testing::TestWithParam<test::Planted> { };

TEST_P(HostileNames, NothingAtATestFileNameIsFollowedOpenedOrRemovedUnlessItIsOurs)
{
    const test::Planted& thing = GetParam();
    TempDir dir;
    const fs::path outside = dir / "outside.txt";
    const struct {
        const char* name;
        std::function<std::error_code(const SystemPath&)> act;
    } operations[] = {
        {"open for output", [](const SystemPath& p) { return TestFile().openForOutput(p); }},
        {"streamed open for output",
            [](const SystemPath& p) { return TestFile().openForOutput(p, WriteMode::Streaming); }},
        {"copy onto it", [&](const SystemPath& p) { return copyFile(systemPath(outside), p); }},
        {"delete", [](const SystemPath& p) { return removeOwnedFile(p); }},
        {"check before a run", [](const SystemPath& p) { return checkReplaceableFile(p); }},
    };
    for (const auto& operation : operations) {
        writeFile(outside, "outside, unchanged");
        const fs::path at = dir / "DriveSpeedTest.txt";
        std::error_code ignored;
        fs::remove_all(at, ignored);
        if (const std::string why = thing.plant(at, outside); !why.empty())
            GTEST_SKIP() << why;
        const auto before = fs::symlink_status(at).type();
        EXPECT_EQ(operation.act(systemPath(at)), thing.refusal) << operation.name;
        EXPECT_EQ(fs::symlink_status(at).type(), before) << operation.name;
        EXPECT_EQ(readFile(outside), "outside, unchanged") << operation.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Planted, HostileNames, ::testing::ValuesIn(test::plantedThings()), test::PlantedId());

} // namespace
} // namespace quvo::runtime
