// SPDX-License-Identifier: MIT
#include "cli/json.h"

#include <gtest/gtest.h>

#include <limits>

namespace quvo::cli {
namespace {

TEST(Json, StringsAreEscapedAndAlwaysValidUtf8)
{
    const struct {
        const char* name;
        std::string text;
        const char* json;
    } cases[] = {
        {"plain", "abc", R"("abc")"},
        {"chinese passes through", "本地磁盘测试完成", R"("本地磁盘测试完成")"},
        {"quote and backslash", R"(a"b\c)", R"("a\"b\\c")"},
        {"control characters", "a\tb\nc\x01", R"("a\tb\nc\u0001")"},
        {"escaped designation", "/tmp/a\\040b/", R"("/tmp/a\\040b/")"},
        {"invalid byte", "a\377b", R"("a\ufffdb")"},
        {"truncated sequence", "\xE6\x9C", R"("\ufffd\ufffd")"},
        {"overlong encoding", "\xC0\xAF", R"("\ufffd\ufffd")"},
        {"surrogate", "\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
        {"four bytes", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jsonString(c.text), c.json) << c.name;
}

TEST(Json, NumbersReadBackExactlyAndNonFiniteIsNull)
{
    EXPECT_EQ(jsonNumber(0.0), "0");
    EXPECT_EQ(jsonNumber(75000.0), "75000");
    EXPECT_EQ(jsonNumber(0.001), "0.001");
    EXPECT_EQ(jsonNumber(-1.5), "-1.5");
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(jsonNumber(std::numeric_limits<double>::infinity()), "null");
}

} // namespace
} // namespace quvo::cli
