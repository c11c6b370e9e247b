// SPDX-License-Identifier: MIT
#include "cli/console_view.h"

#include <gtest/gtest.h>

namespace quvo::cli {
namespace {

TEST(ConsoleView, ChineseTakesTwoColumns)
{
    EXPECT_EQ(displayWidth("abc"), 3);
    EXPECT_EQ(displayWidth("小文件写入速度 (1MB):"), 14 + 7);
    EXPECT_EQ(displayWidth("0.012 秒"), 8);
    EXPECT_EQ(displayWidth("75,000 KB/秒"), 12);
}

TEST(ConsoleView, RowLinesAlignAndScaleTheBarLikeTheWindow)
{
    const auto bar = [](int filled) {
        std::string cells;
        for (int i = 0; i < kBarCells; ++i)
            cells += i < filled ? "█" : "░";
        return "  │" + cells + "│";
    };
    const struct {
        const char* name;
        float twips;
        int filled;
    } cases[] = {
        {"reset", 15.0f, 0},
        {"half", 3705.0f / 2, 20},
        {"full", 3705.0f, 40},
        {"past the frame", 7410.0f, 40},
        {"negative", -50.0f, 0},
    };
    for (const auto& c : cases) {
        const std::string line = rowLine("文件查找速度 (10000个文件):", "0.016 秒", c.twips);
        EXPECT_EQ(line, "文件查找速度 (10000个文件):" + std::string(1 + 8, ' ') + "0.016 秒" + bar(c.filled)) << c.name;
    }
}

} // namespace
} // namespace quvo::cli
