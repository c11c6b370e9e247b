// SPDX-License-Identifier: MIT
// Drive designations without lettered drives: the mount table's escapes, both ways.
#include "runtime/designation.h"

#include <gtest/gtest.h>

namespace quvo::runtime {
namespace {

TEST(Designation, EscapesBlanksTabsNewlinesAndBackslashes)
{
    const struct {
        const char* directory;
        const char* designation;
    } cases[] = {
        {"/", "/"},
        {"/home/lin", "/home/lin/"},
        {"/home/lin//", "/home/lin/"},
        {"/tmp/a b", "/tmp/a\\040b/"},
        {"/tmp/tab\there", "/tmp/tab\\011here/"},
        {"/tmp/line\nend", "/tmp/line\\012end/"},
        {"/tmp/back\\slash", "/tmp/back\\134slash/"},
        {"/tmp/中文 目录", "/tmp/中文\\040目录/"},
        {"/tmp/-dash", "/tmp/-dash/"},
        {"", "./"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(designationFor(c.directory), c.designation) << c.directory;
}

TEST(Designation, DecodesOnlyItsEscapes)
{
    const struct {
        const char* name;
        const char* designation;
        const char* path;
    } cases[] = {
        {"plain", "/tmp/x/DriveSpeedTest.txt", "/tmp/x/DriveSpeedTest.txt"},
        {"blank", "/tmp/a\\040b/DriveSpeedTest.txt", "/tmp/a b/DriveSpeedTest.txt"},
        {"backslash", "/tmp/\\134/f", "/tmp/\\/f"},
        {"lettered drive", "c:DriveSpeedTest.txt", "c:DriveSpeedTest.txt"},
        {"not octal", "/tmp/\\08a", "/tmp/\\08a"},
        {"beyond a byte", "/tmp/\\400", "/tmp/\\400"},
        {"NUL would cut the path", "/tmp/\\000x", "/tmp/\\000x"},
        {"too short at the end", "/tmp/\\04", "/tmp/\\04"},
        {"lone backslash", "\\", "\\"},
        {"highest byte", "\\377", "\xFF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(directoryNamedBy(c.designation).text(), c.path) << c.name;
}

TEST(Designation, NamesTheSameDirectoryAfterDecoding)
{
    for (const char* directory : {"/tmp/a b", "/tmp/ lead", "/tmp/trail ", "/tmp/\\040 literally", "/x/\t\n\\ 中"})
        EXPECT_EQ((directoryNamedBy(designationFor(directory)) + "f").text(), std::string(directory) + "/f")
            << directory;
}

} // namespace
} // namespace quvo::runtime
