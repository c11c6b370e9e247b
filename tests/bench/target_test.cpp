// SPDX-License-Identifier: MIT
// The prefix rule: the drive text up to its first blank, trimmed.
#include "bench/target.h"

#include "runtime/designation.h"

#include <gtest/gtest.h>

namespace quvo::bench {
namespace {

TEST(TargetPrefix, IsTheDriveTextUpToItsFirstBlank)
{
    const struct {
        const char* name;
        const char* driveText;
        const char* prefix;
    } cases[] = {
        {"lettered drive with a label", "c: [system]", "c:"},
        {"lettered drive without a label", "d:", ""},
        {"designation with a description", "/home/lin/ [ext4, 9.1 GB 可用]", "/home/lin/"},
        {"escaped blank stays in the designation", "/tmp/a\\040b/ [tmpfs, 1.0 GB 可用]", "/tmp/a\\040b/"},
        {"no blank at all", "/tmp/x/", ""},
        {"empty", "", ""},
        {"leading blank", " c: [x]", ""},
        {"several blanks", "e:  [data disk]", "e:"},
        {"a tab is not a blank", "c:\t[x] y", "c:\t[x]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(targetPrefix(c.driveText), c.prefix) << c.name;
}

// Directories of either kind of system: each system makes its own designation of any
// of them, and the rule gives it back whole.
TEST(TargetPrefix, ADesignationSurvivesTheRuleWhateverItsDirectoryHolds)
{
    for (const char* directory : {"/", "/tmp/a b", "/tmp/ lead", "/tmp/trail ", "/x/\t\n\\", "/tmp/中文 目录", "C:\\",
             "c:\\a b", "\\\\?\\D:\\中文 目录", "\\\\server\\share"}) {
        const std::string designation = runtime::designationFor(directory);
        EXPECT_EQ(targetPrefix(designation + " [系统, NTFS, 1.0 GB 可用]"), designation) << directory;
    }
}

} // namespace
} // namespace quvo::bench
