// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quvo::cli {
namespace {

Options with(void (*set)(Options&), std::string directory = ".")
{
    Options options;
    set(options);
    options.directory = std::move(directory);
    return options;
}

TEST(ParseArguments, TakesEachOptionAndOneDirectoryAndRefusesTheRest)
{
    const auto none = [](Options&) {};
    const struct {
        const char* name;
        std::vector<const char*> args;
        Options options;
        const char* error; // the whole message, or "" for none
    } cases[] = {
        {"nothing: the current directory", {}, with(none), ""},
        {"a directory", {"/tmp"}, with(none, "/tmp"), ""},
        {"json before", {"--json", "/tmp"}, with([](Options& o) { o.json = true; }, "/tmp"), ""},
        {"json after", {"/tmp", "--json"}, with([](Options& o) { o.json = true; }, "/tmp"), ""},
        {"quiet", {"--quiet"}, with([](Options& o) { o.quiet = true; }), ""},
        {"short quiet with json", {"-q", "--json"}, with([](Options& o) { o.quiet = o.json = true; }), ""},
        {"plan", {"--plan", "/tmp"}, with([](Options& o) { o.plan = true; }, "/tmp"), ""},
        {"list", {"--list"}, with([](Options& o) { o.list = true; }), ""},
        {"prometheus", {"--prometheus", "/var/lib/q.prom", "/tmp"},
            with([](Options& o) { o.prometheus = "/var/lib/q.prom"; }, "/tmp"), ""},
        {"prometheus=", {"--prometheus=q.prom"}, with([](Options& o) { o.prometheus = "q.prom"; }), ""},
        {"prometheus's file may begin with a dash", {"--prometheus", "-q.prom"},
            with([](Options& o) { o.prometheus = "-q.prom"; }), ""},
        {"prometheus without a file", {"--prometheus"}, with(none), "--prometheus 需要一个文件名"},
        {"prometheus with an empty file", {"--prometheus="}, with(none), "--prometheus 需要一个文件名"},
        {"prometheus with plan", {"--plan", "--prometheus", "q.prom"},
            with([](Options& o) { o.plan = true, o.prometheus = "q.prom"; }),
            "--prometheus 不与 --plan 或 --list 同用"},
        {"version", {"--version"}, with([](Options& o) { o.version = true; }), ""},
        {"help", {"--help"}, with([](Options& o) { o.help = true; }), ""},
        {"short help", {"-h"}, with([](Options& o) { o.help = true; }), ""},
        {"a dash directory after --", {"--", "-dir"}, with(none, "-dir"), ""},
        {"-- then --json is a directory", {"--", "--json"}, with(none, "--json"), ""},
        {"a lone dash is a directory", {"-"}, with(none, "-"), ""},
        {"unknown option", {"--fast"}, with(none), "未知选项：--fast"},
        {"dash directory without --", {"-dir"}, with(none), "未知选项：-dir"},
        {"two directories", {"/a", "/b"}, with(none, "/a"), "只能给出一个目录：/b"},
        {"an empty directory", {""}, with(none, ""), "目录不能为空"},
        {"list with a directory", {"--list", "/tmp"}, with([](Options& o) { o.list = true; }, "/tmp"),
            "--list 不与目录、--json 或 --plan 同用"},
        {"list with json", {"--json", "--list"}, with([](Options& o) { o.list = o.json = true; }),
            "--list 不与目录、--json 或 --plan 同用"},
        {"list with plan", {"--list", "--plan"}, with([](Options& o) { o.list = o.plan = true; }),
            "--list 不与目录、--json 或 --plan 同用"},
        {"plan with json", {"--plan", "--json"}, with([](Options& o) { o.plan = o.json = true; }),
            "--plan 不与 --json 或 --quiet 同用"},
        {"plan quietly", {"--plan", "-q"}, with([](Options& o) { o.plan = o.quiet = true; }),
            "--plan 不与 --json 或 --quiet 同用"},
    };
    for (const auto& c : cases) {
        const ParsedArguments parsed = parseArguments(c.args);
        const Options& got = parsed.options;
        const Options& want = c.options;
        EXPECT_EQ(parsed.error, c.error) << c.name;
        EXPECT_EQ(
            std::tie(got.version, got.json, got.help, got.list, got.quiet, got.plan, got.prometheus, got.directory),
            std::tie(
                want.version, want.json, want.help, want.list, want.quiet, want.plan, want.prometheus, want.directory))
            << c.name;
    }
}

} // namespace
} // namespace quvo::cli
