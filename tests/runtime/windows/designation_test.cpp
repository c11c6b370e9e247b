// SPDX-License-Identifier: MIT
// Drive designations on Windows: a drive's letter, which names the drive's current
// directory, and paths resolved as the system resolves them.
#include "runtime/designation.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
        EXPECT_EQ(parentDirectory(c.path), c.parent) << c.path;

    const struct {
        const char* pathText;
        const char* name;
    } names[] = {
        {"c:DriveSpeedTest.txt", "DriveSpeedTest.txt"},
        {"C:\\a\\DriveSpeedTest2.txt", "DriveSpeedTest2.txt"},
        {"C:/a/f", "f"},
        {"f", "f"},
    };
    for (const auto& c : names)
        EXPECT_EQ(fileNamePart(c.pathText), c.name) << c.pathText;
}

// "x:name" is resolved by the system: into the process's current directory on its own
// drive, into the directory the system keeps for another drive (the "=X:" environment
// entry a command shell leaves), and into that drive's root where it keeps none. It is
// never "x:\name" by a separator put in.
TEST(WindowsDesignation, ALetterNamesItsDrivesCurrentDirectory)
{
    test::TempDir dir("quvo 目录");
    const std::string directory = test::utf8(dir.path());
    ASSERT_FALSE(designateDirectory(directory));
    const std::string own = designationFor(directory);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(fileSystemPath(own + "DriveSpeedTest.txt"), directory + "\\DriveSpeedTest.txt");

    // A letter other than the current directory's: the system needs no such drive to
    // resolve its paths.
    const char other = own[0] == 'q' ? 'r' : 'q';
    const std::wstring variable = {L'=', static_cast<wchar_t>(std::toupper(other)), L':'};
    const std::string otherRoot = std::string(1, other) + ":\\";
    ASSERT_TRUE(::SetEnvironmentVariableW(
        variable.c_str(), (std::wstring(1, static_cast<wchar_t>(other)) + L":\\kept dir").c_str()));
    EXPECT_EQ(lowered(fileSystemPath(std::string(1, other) + ":f")), lowered(otherRoot + "kept dir\\f"));
    ASSERT_TRUE(::SetEnvironmentVariableW(variable.c_str(), nullptr));
    EXPECT_EQ(lowered(fileSystemPath(std::string(1, other) + ":f")), lowered(otherRoot + "f"));
}

} // namespace
} // namespace quvo::runtime
