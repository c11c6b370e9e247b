// SPDX-License-Identifier: MIT
// Drive designations on Windows: a drive's letter, which names the drive's current
// directory, and paths resolved as the system resolves them.
#include "runtime/designation.h"

#include "runtime/errors.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <windows.h>

namespace quvo::runtime {
namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(WindowsDesignation, IsTheDrivesLetterInLowerCaseAndColon)
{
    const struct {
        const char* directory;
        const char* designation;
    } cases[] = {
        {"C:\\Users\\lin", "c:"},
        {"c:\\", "c:"},
        {"D:/data/a b", "d:"},
        {"Z:", "z:"},
        {"\\\\?\\E:\\long\\path", "e:"},
        {"\\\\server\\share\\dir", ""},
        {"relative\\dir", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(designationFor(c.directory), c.designation) << c.directory;
}

TEST(WindowsDesignation, PathPartsKeepTheRootAndSplitAtEverySeparator)
{
    const struct {
        const char* path;
        const char* parent;
    } parents[] = {
        {"C:\\a\\f", "C:\\a"},
        {"C:\\f", "C:\\"},
        {"C:/a/f", "C:/a"},
        {"\\\\server\\share\\f", "\\\\server\\share\\"},
        {"\\\\server\\share\\d\\f", "\\\\server\\share\\d"},
        {"\\\\?\\C:\\f", "\\\\?\\C:\\"},
        {"f", "."},
    };
    for (const auto& c : parents)
        EXPECT_EQ(parentDirectory(SystemPath(c.path)).text(), c.parent) << c.path;

    const struct {
        const char* path;
        const char* name;
    } names[] = {
        {"c:DriveSpeedTest.txt", "DriveSpeedTest.txt"},
        {"C:\\a\\DriveSpeedTest2.txt", "DriveSpeedTest2.txt"},
        {"C:/a/f", "f"},
        {"f", "f"},
    };
    for (const auto& c : names)
        EXPECT_EQ(fileNamePart(SystemPath(c.path)), c.name) << c.path;
}

// A drive letter of the test's own, for its length: DefineDosDeviceW maps it to a
// directory, as SUBST does.
class MappedDrive {
public:
    explicit MappedDrive(const std::filesystem::path& target)
    {
        const DWORD taken = ::GetLogicalDrives();
        for (char letter = 'q'; letter <= 'y' && designation_.empty(); ++letter)
            if ((taken & (1u << (letter - 'a'))) == 0
                && ::DefineDosDeviceW(0, device(letter).c_str(), target.wstring().c_str()))
                designation_ = {letter, ':'};
    }
    ~MappedDrive()
    {
        if (!designation_.empty())
            ::DefineDosDeviceW(DDD_REMOVE_DEFINITION, device(designation_[0]).c_str(), nullptr);
    }
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    // "q:", or empty where no letter could be had.
    const std::string& designation() const { return designation_; }

private:
    static std::wstring device(char letter) { return {static_cast<wchar_t>(std::toupper(letter)), L':'}; }

    std::string designation_;
};

// "x:name" is resolved by the system: into the process's current directory on its own
// drive, into the directory the system keeps for another drive (the "=X:" environment
// entry a command shell leaves), and into that drive's root where it keeps none. It is
// never "x:\name" by a separator put in. Windows ignores a kept directory that does not
// exist, so the drive is a real one, mapped to a directory that holds the kept one.
TEST(WindowsDesignation, ALetterNamesItsDrivesCurrentDirectory)
{
    test::TempDir dir("quvo 目录");
    const std::string directory = test::utf8(dir.path());
    ASSERT_FALSE(designateDirectory(directory));
    const std::string own = designationFor(directory);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ((directoryNamedBy(own) + "DriveSpeedTest.txt").text(), directory + "\\DriveSpeedTest.txt");

    test::TempDir root("quvo 盘");
    std::filesystem::create_directory(root / "kept dir");
    const MappedDrive drive(root.path());
    if (drive.designation().empty())
        GTEST_SKIP() << "no free drive letter could be mapped";
    ASSERT_NE(drive.designation(), own);
    const std::string letter = drive.designation();
    const std::wstring variable = L"=" + std::filesystem::path(letter).wstring();
    ASSERT_TRUE(::SetEnvironmentVariableW(variable.c_str(), (std::filesystem::path(letter + "\\kept dir")).c_str()));
    EXPECT_EQ(lowered((directoryNamedBy(letter) + "f").text()), lowered(letter + "\\kept dir\\f"));
    ASSERT_TRUE(::SetEnvironmentVariableW(variable.c_str(), nullptr));
    EXPECT_EQ(lowered((directoryNamedBy(letter) + "f").text()), lowered(letter + "\\f"));
}

TEST(WindowsDesignation, ADirectoryOnAMappedDriveNamesItsOwnFiles)
{
    test::TempDir root("quvo 盘");
    std::filesystem::create_directory(root / "子 目录");
    const MappedDrive drive(root.path());
    if (drive.designation().empty())
        GTEST_SKIP() << "no free drive letter could be mapped";
    const std::string directory = drive.designation() + "\\子 目录";
    if (::GetFileAttributesW(std::filesystem::path(std::u8string(directory.begin(), directory.end())).c_str())
        == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the mapped drive names no files (Wine maps DefineDosDeviceW's letters for names only)";
    const std::error_code designated = designateDirectory(directory);
    ASSERT_FALSE(designated) << designated.message();
    EXPECT_EQ(lowered((directoryNamedBy(drive.designation()) + "DriveSpeedTest.txt").text()),
        lowered(directory + "\\DriveSpeedTest.txt"));
}

TEST(WindowsDesignation, LongAndDeviceFormsHaveTheirPlainForms)
{
    const struct {
        const char* path;
        const char* plain;
    } cases[] = {
        {"\\\\?\\C:\\a b\\c", "C:\\a b\\c"},
        {"\\\\.\\d:\\x", "d:\\x"},
        {"\\\\?\\UNC\\server\\share\\d", "\\\\server\\share\\d"},
        {"\\\\?\\Volume{00000000-0000-0000-0000-000000000043}\\d",
            "\\\\?\\Volume{00000000-0000-0000-0000-000000000043}\\d"},
        {"C:\\a", "C:\\a"},
        {"\\\\server\\share", "\\\\server\\share"},
        {"relative", "relative"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plainPath(c.path), c.plain) << c.path;
}

// Given in its long form, a directory either becomes the one its letter names, or is
// refused: Windows keeps such a current directory as it stands, and "c:name" then
// leads into drive C's own directory.
TEST(WindowsDesignation, ADirectoryInItsLongFormIsNamedByItsLetterOrRefused)
{
    test::TempDir dir("quvo 长");
    const std::string directory = test::utf8(dir.path());
    for (const std::string& given : {"\\\\?\\" + directory, plainPath("\\\\?\\" + directory)}) {
        const std::error_code error = designateDirectory(given);
        if (error) {
            EXPECT_EQ(error, Errc::designationElsewhere) << given;
            continue;
        }
        EXPECT_EQ(lowered((directoryNamedBy(designationFor(given)) + "f").text()), lowered(directory + "\\f")) << given;
    }
    EXPECT_FALSE(designateDirectory(plainPath("\\\\?\\" + directory)));
}

} // namespace
} // namespace quvo::runtime
