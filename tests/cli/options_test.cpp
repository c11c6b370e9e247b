// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace quvo::cli {
namespace {

TEST(ParseArguments, AcceptsJsonHelpAndOneDirectory)
{
    const struct {
        const char* name;
        std::vector<const char*> args;
        bool json;
        bool help;
        const char* directory;
        const char* error; // a part of the message, or "" for none
    } cases[] = {
        {"nothing: the current directory", {}, false, false, ".", ""},
        {"a directory", {"/tmp"}, false, false, "/tmp", ""},
        {"json before", {"--json", "/tmp"}, true, false, "/tmp", ""},
        {"json after", {"/tmp", "--json"}, true, false, "/tmp", ""},
        {"help", {"--help"}, false, true, ".", ""},
        {"short help", {"-h"}, false, true, ".", ""},
        {"a dash directory after --", {"--", "-dir"}, false, false, "-dir", ""},
        {"-- then --json is a directory", {"--", "--json"}, false, false, "--json", ""},
        {"a lone dash is a directory", {"-"}, false, false, "-", ""},
        {"unknown option", {"--fast"}, false, false, ".", "未知选项：--fast"},
        {"dash directory without --", {"-dir"}, false, false, ".", "未知选项：-dir"},
        {"two directories", {"/a", "/b"}, false, false, "/a", "只能给出一个目录"},
        {"an empty directory", {""}, false, false, "", "目录不能为空"},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = parseArguments(c.args);
        EXPECT_EQ(parsed.options.json, c.json) << c.name;
        EXPECT_EQ(parsed.options.help, c.help) << c.name;
        EXPECT_EQ(parsed.options.directory, c.directory) << c.name;
        if (*c.error == '\0')
            EXPECT_EQ(parsed.error, "") << c.name;
        else
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << c.name << ": " << parsed.error;
    }
}

} // namespace
} // namespace quvo::cli
