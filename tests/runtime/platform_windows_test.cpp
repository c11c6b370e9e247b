// SPDX-License-Identifier: MIT
// The Windows file layer: nothing at a test file's name is followed, opened or removed
// unless it is a plain file of this account with no other name.
#include "runtime/errors.h"
#include "runtime/file_ops.h"
#include "runtime/numbered_files.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <windows.h>

namespace quvo::runtime {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Something planted at a test file's name, and the error every operation must give.
// plant answers why it could not be planted here, or nothing.
struct Planted {
    const char* name;
    std::function<std::string(const fs::path&, const fs::path& outside)> plant;
    Errc expected;
};

std::string linkPlanted(const fs::path& at, const fs::path& target, DWORD flags)
{
    // Unprivileged links need the developer mode of Windows 10 or later.
    if (!::CreateSymbolicLinkW(at.c_str(), target.c_str(), flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return "no symbolic link may be made here (error " + std::to_string(::GetLastError()) + ")";
    const DWORD attributes = ::GetFileAttributesW(at.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the system reports a symbolic link made but none is there (Wine)";
    return {};
}

TEST(WindowsHostileNames, NothingAtATestFileNameIsFollowedOpenedOrRemovedUnlessItIsOurs)
{
    TempDir dir;
    const fs::path outside = dir / "outside.txt";
    const Planted planted[] = {
        {"directory", [](const fs::path& at, const fs::path&) { return fs::create_directory(at) ? "" : "mkdir"; },
            Errc::notRegularFile},
        {"hard link to a file outside",
            [](const fs::path& at, const fs::path& target) {
                return ::CreateHardLinkW(at.c_str(), target.c_str(), nullptr) ? std::string()
                                                                              : "no hard links on this volume";
            },
            Errc::hasOtherLinks},
        {"symbolic link to a file outside",
            [](const fs::path& at, const fs::path& target) { return linkPlanted(at, target, 0); },
            Errc::notRegularFile},
        {"dangling symbolic link",
            [&](const fs::path& at, const fs::path&) { return linkPlanted(at, dir / "nowhere", 0); },
            Errc::notRegularFile},
        {"symbolic link to a directory",
            [&](const fs::path& at, const fs::path&) {
                fs::create_directory(dir / "elsewhere");
                return linkPlanted(at, dir / "elsewhere", SYMBOLIC_LINK_FLAG_DIRECTORY);
            },
            Errc::notRegularFile},
    };
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
        {"copy onto it", [&](const std::string& p) { return copyFile(test::utf8(outside), p); }},
        {"delete", [](const std::string& p) { return deleteFile(p); }},
        {"check before a run", [](const std::string& p) { return checkReplaceable(p); }},
    };
    for (const Planted& thing : planted) {
        for (const auto& operation : operations) {
            writeFile(outside, "outside, unchanged");
            const fs::path at = dir / "DriveSpeedTest.txt";
            std::error_code ignored;
            fs::remove_all(at, ignored);
            if (const std::string why = thing.plant(at, outside); !why.empty()) {
                std::cout << "[ SKIPPED  ] " << thing.name << ": " << why << "\n";
                break;
            }
            const auto before = fs::symlink_status(at).type();
            EXPECT_EQ(operation.act(test::utf8(at)), thing.expected) << thing.name << ", " << operation.name;
            EXPECT_EQ(fs::symlink_status(at).type(), before) << thing.name << ", " << operation.name;
            EXPECT_EQ(readFile(outside), "outside, unchanged") << thing.name << ", " << operation.name;
        }
    }
}

// The copy and the removal on plain files, and the directory lock between two runs.
TEST(WindowsFiles, CopiesReplaceRemovalsRemoveAndOneRunHoldsADirectory)
{
    TempDir dir;
    const std::string content = std::string(NumberedFiles::kBlockSize * 2 + 17, 'X') + "\nend";
    writeFile(dir / "source", content);
    writeFile(dir / "destination", std::string(NumberedFiles::kBlockSize * 3, 'o'));
    ASSERT_FALSE(copyFile(test::utf8(dir / "source"), test::utf8(dir / "destination")));
    EXPECT_EQ(readFile(dir / "destination"), content);
    EXPECT_EQ(copyFile(test::utf8(dir / "missing"), test::utf8(dir / "other")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(dir / "other"));
    EXPECT_FALSE(deleteFile(test::utf8(dir / "destination")));
    EXPECT_FALSE(fs::exists(dir / "destination"));
    EXPECT_EQ(deleteFile(test::utf8(dir / "destination")), std::errc::no_such_file_or_directory);

    {
        auto first = lockDirectory(test::utf8(dir.path()));
        ASSERT_TRUE(first) << first.error().message();
        EXPECT_EQ(lockDirectory(test::utf8(dir.path())).error(), Errc::directoryInUse);
        // Others still list the directory and add files to it.
        EXPECT_EQ(fs::directory_iterator(dir.path())->path().filename(), "source");
        writeFile(dir / "added", "x");
        EXPECT_EQ(readFile(dir / "added"), "x");
    }
    EXPECT_TRUE(lockDirectory(test::utf8(dir.path())));
}

} // namespace
} // namespace quvo::runtime
