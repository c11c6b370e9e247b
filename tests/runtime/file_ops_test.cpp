// SPDX-License-Identifier: MIT
// Whole-file operations on every system, what they do when a test file's name holds
// something not ours, and the lock that keeps a second run out of a directory.
#include "runtime/file_ops.h"

#include "runtime/errors.h"
#include "runtime/numbered_files.h"
#include "tests/support/planted.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::utf8;
using test::writeFile;

TEST(LookUpFile, FindsOnlyRegularFilesAndGivesTheirName)
{
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    fs::create_directory(dir / "directory");
    const struct {
        const char* name;
        std::string pathText;
        const char* found;
    } cases[] = {
        {"regular file", utf8(dir / "file.txt"), "file.txt"},
        {"nothing there", utf8(dir / "missing.txt"), ""},
        {"inside a missing directory", utf8(dir / "missing" / "x"), ""},
        {"a directory is not an ordinary file", utf8(dir / "directory"), ""},
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
    ASSERT_FALSE(copyFile(utf8(dir / "source"), utf8(dir / "destination")));
    EXPECT_EQ(readFile(dir / "destination"), content);
    EXPECT_EQ(copyFile(utf8(dir / "missing"), utf8(dir / "other")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "other"));
}

TEST(DeleteFile, RemovesOurFileAndFailsWhenNothingIsThere)
{
    TempDir dir;
    writeFile(dir / "file", "x");
    EXPECT_FALSE(deleteFile(utf8(dir / "file")));
    EXPECT_FALSE(fs::exists(dir / "file"));
    EXPECT_EQ(deleteFile(utf8(dir / "file")), std::errc::no_such_file_or_directory);
}

TEST(DirectoryLock, OneRunHoldsADirectoryAndOthersStillUseIt)
{
    TempDir dir;
    writeFile(dir / "there", "x");
    {
        auto first = lockDirectory(utf8(dir.path()));
        ASSERT_TRUE(first) << first.error().message();
        EXPECT_EQ(lockDirectory(utf8(dir.path())).error(), Errc::directoryInUse);
        EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "there");
        writeFile(dir / "added", "x");
        EXPECT_EQ(readFile(dir / "added"), "x");
    }
    EXPECT_TRUE(lockDirectory(utf8(dir.path())));
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
        {"copy onto it", [&](const std::string& p) { return copyFile(utf8(outside), p); }},
        {"delete", [](const std::string& p) { return deleteFile(p); }},
        {"check before a run", [](const std::string& p) { return checkReplaceable(p); }},
    };
    for (const auto& operation : operations) {
        writeFile(outside, "outside, unchanged");
        const fs::path at = dir / "DriveSpeedTest.txt";
        std::error_code ignored;
        fs::remove_all(at, ignored);
        if (const std::string why = thing.plant(at, outside); !why.empty())
            GTEST_SKIP() << why;
        const auto before = fs::symlink_status(at).type();
        EXPECT_EQ(operation.act(utf8(at)), thing.refusal) << operation.name;
        EXPECT_EQ(fs::symlink_status(at).type(), before) << operation.name;
        EXPECT_EQ(readFile(outside), "outside, unchanged") << operation.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Planted, HostileNames, ::testing::ValuesIn(test::plantedThings()), test::PlantedId());

} // namespace
} // namespace quvo::runtime
