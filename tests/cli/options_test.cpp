// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quvo::cli {

// How a failure shows a parse, field by field. The comparison takes every field, shown
// here or not.
void PrintTo(const ParsedArguments& parsed, std::ostream* out)
{
    const Options& o = parsed.options;
    *out << "{version " << o.version << ", json " << o.json << ", help " << o.help << ", list " << o.list << ", quiet "
         << o.quiet << ", plan " << o.plan << ", prometheus \"" << o.prometheus << "\", directory \"" << o.directory
         << "\", error \"" << parsed.error << "\"}";
}

namespace {

TEST(ParseArguments, TakesEachOptionAndOneDirectoryAndRefusesTheRest)
{
    const struct {
        const char* name;
        std::vector<const char*> args;
        Options options;
        const char* error; // the whole message, or "" for none
    } cases[] = {
        {"nothing: the current directory", {}, {}, ""},
        {"a directory", {"/tmp"}, {.directory = "/tmp"}, ""},
        {"json before", {"--json", "/tmp"}, {.json = true, .directory = "/tmp"}, ""},
        {"json after", {"/tmp", "--json"}, {.json = true, .directory = "/tmp"}, ""},
        {"quiet", {"--quiet"}, {.quiet = true}, ""},
        {"short quiet with json", {"-q", "--json"}, {.json = true, .quiet = true}, ""},
        {"plan", {"--plan", "/tmp"}, {.plan = true, .directory = "/tmp"}, ""},
        {"list", {"--list"}, {.list = true}, ""},
        {"prometheus", {"--prometheus", "/var/lib/q.prom", "/tmp"},
            {.prometheus = "/var/lib/q.prom", .directory = "/tmp"}, ""},
        {"prometheus=", {"--prometheus=q.prom"}, {.prometheus = "q.prom"}, ""},
        {"prometheus's file may begin with a dash", {"--prometheus", "-q.prom"}, {.prometheus = "-q.prom"}, ""},
        {"prometheus without a file", {"--prometheus"}, {}, "--prometheus 需要一个文件名"},
        {"prometheus with an empty file", {"--prometheus="}, {}, "--prometheus 需要一个文件名"},
        {"prometheus with plan", {"--plan", "--prometheus", "q.prom"}, {.plan = true, .prometheus = "q.prom"},
            "--prometheus 不与 --plan 或 --list 同用"},
        {"version", {"--version"}, {.version = true}, ""},
        {"help", {"--help"}, {.help = true}, ""},
        {"short help", {"-h"}, {.help = true}, ""},
        {"a dash directory after --", {"--", "-dir"}, {.directory = "-dir"}, ""},
        {"-- then --json is a directory", {"--", "--json"}, {.directory = "--json"}, ""},
        {"a lone dash is a directory", {"-"}, {.directory = "-"}, ""},
        {"unknown option", {"--fast"}, {}, "未知选项：--fast"},
        {"dash directory without --", {"-dir"}, {}, "未知选项：-dir"},
        {"two directories", {"/a", "/b"}, {.directory = "/a"}, "只能给出一个目录：/b"},
        {"an empty directory", {""}, {.directory = ""}, "目录不能为空"},
        {"list with a directory", {"--list", "/tmp"}, {.list = true, .directory = "/tmp"},
            "--list 不与目录、--json 或 --plan 同用"},
        {"list with json", {"--json", "--list"}, {.json = true, .list = true},
            "--list 不与目录、--json 或 --plan 同用"},
        {"list with plan", {"--list", "--plan"}, {.list = true, .plan = true},
            "--list 不与目录、--json 或 --plan 同用"},
        {"plan with json", {"--plan", "--json"}, {.json = true, .plan = true}, "--plan 不与 --json 或 --quiet 同用"},
        {"plan quietly", {"--plan", "-q"}, {.quiet = true, .plan = true}, "--plan 不与 --json 或 --quiet 同用"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseArguments(c.args), (ParsedArguments{c.options, c.error})) << c.name;
}

} // namespace
} // namespace quvo::cli
