// SPDX-License-Identifier: MIT
#include "cli/console_view.h"

#include <gtest/gtest.h>

namespace quvo::cli {
namespace {

TEST(ConsoleView, TextTakesTheColumnsATerminalGivesIt)
{
    const struct {
        const char* name;
        const char* text;
        int columns;
    } cases[] = {
        {"ASCII", "abc", 3},
        {"Chinese takes two", "小文件写入速度 (1MB):", 14 + 7},
        {"a result", "0.012 秒", 8},
        {"grouped", "75,000 KB/秒", 12},
        {"an emoji takes two", "\xF0\x9F\x91\x8D", 2},
        {"a combining accent takes none", "e\xCC\x81", 1},
        {"a byte that starts nothing shows as one",
            "a\xFF"
            "b",
            3},
        {"a cut-off sequence shows a column a byte", "\xE6\x96", 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(displayWidth(c.text), c.columns) << c.name;
}

TEST(ConsoleView, RowLinesAlignAndScaleTheBarLikeTheWindow)
{
    const std::string text = "文件查找速度 (10000个文件):         0.016 秒";
    const struct {
        const char* name;
        float twips;
        std::string bar;
    } cases[] = {
        {"reset", 15.0f, "  │░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░│"},
        {"half", 3705.0f / 2, "  │████████████████████░░░░░░░░░░░░░░░░░░░░│"},
        {"full", 3705.0f, "  │████████████████████████████████████████│"},
        {"past the frame", 7410.0f, "  │████████████████████████████████████████│"},
        {"negative", -50.0f, "  │░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░░│"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowLine("文件查找速度 (10000个文件):", "0.016 秒", c.twips), text + c.bar) << c.name;
    EXPECT_EQ(rowLine("文件查找速度 (10000个文件):", "0.016 秒", 3705.0f, /*bar=*/false), text);
}

} // namespace
} // namespace quvo::cli
