// SPDX-License-Identifier: MIT
// Whole-file operations where POSIX differs: a link is a name of its own, and a FIFO
// would block an open that read it.
#include "runtime/file_ops.h"

#include "runtime/errors.h"
#include "runtime/numbered_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(LookUpFile, ALinkIsNotFollowed)
{
    TempDir dir;
    test::writeFile(dir / "file.txt", "x");
    fs::create_symlink(dir / "file.txt", dir / "link");
    const auto found = lookUpFile((dir / "link").string());
    ASSERT_TRUE(found) << found.error().message();
    EXPECT_EQ(*found, "");
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
