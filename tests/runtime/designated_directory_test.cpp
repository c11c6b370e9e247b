// SPDX-License-Identifier: MIT
// On every system: once a directory is designated, its designation names the directory
// itself, whatever the directory is called.
#include "runtime/designation.h"

#include "runtime/file_ops.h"
#include "runtime/test_file.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;

TEST(DesignatedDirectory, NamesTheDirectoryItself)
{
    test::TempDir top;
    for (const std::string name : {"plain", "a b", "中文 目录", "-dash", "semi;colon,comma", "100% #1"}) {
        const fs::path directory = top.path() / fs::path(std::u8string(name.begin(), name.end()));
        ASSERT_TRUE(fs::create_directory(directory)) << name;
        const std::string text = test::utf8(directory);
        ASSERT_FALSE(designateDirectory(text)) << name;
        const SystemPath file = directoryNamedBy(designationFor(text)) + "DriveSpeedTest.txt";

        EXPECT_EQ(parentDirectory(file).text(), text) << name;
        TestFile testFile;
        ASSERT_FALSE(testFile.openForOutput(file)) << name;
        ASSERT_FALSE(testFile.writeItem("x")) << name;
        ASSERT_FALSE(testFile.close()) << name;
        EXPECT_EQ(test::readFile(directory / "DriveSpeedTest.txt"), "x") << name;
        const auto found = lookUpFile(file);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(*found, "DriveSpeedTest.txt") << name;
        EXPECT_FALSE(removeOwnedFile(file)) << name;
        EXPECT_TRUE(fs::is_empty(directory)) << name;
    }
}

} // namespace
} // namespace quvo::runtime
