// SPDX-License-Identifier: MIT
// The system's reasons, as the run shows them: one line of UTF-8 in the user's
// language, on any code page, and still comparable with the portable error values.
#include "runtime/file_ops.h"
#include "runtime/test_file.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>
#include <windows.h>

namespace quvo::runtime {
namespace {

bool validUtf8(const std::string& text)
{
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0)
        > 0;
}

struct Failure {
    const char* name;
    std::error_code error;
    std::optional<std::errc> portable; // what it compares equal to, where that is fixed
};

// Failures the run meets, each made for real: a file already gone, a directory that is
// not there, and a file another program holds without sharing it.
std::vector<Failure> failures(const test::TempDir& dir)
{
    const HANDLE holder = ::CreateFileW((dir / "held.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(holder, INVALID_HANDLE_VALUE);
    TestFile file;
    std::vector<Failure> made{
        {"a file already gone", removeOwnedFile(test::systemPath(dir / "gone.txt")),
            std::errc::no_such_file_or_directory},
        {"a directory that is not there", file.openForOutput(test::systemPath(dir / "missing" / "f.txt")),
            std::errc::no_such_file_or_directory},
        {"a file another program holds", file.openForOutput(test::systemPath(dir / "held.txt")), std::nullopt},
    };
    ::CloseHandle(holder);
    return made;
}

TEST(SystemMessages, AreOneLineOfUtf8AndCompareWithThePortableValues)
{
    test::TempDir dir("quvo 消息");
    for (const Failure& failure : failures(dir)) {
        ASSERT_TRUE(failure.error) << failure.name;
        if (failure.portable) {
            EXPECT_EQ(failure.error, *failure.portable) << failure.name;
        }
        const std::string message = failure.error.message();
        EXPECT_TRUE(validUtf8(message)) << failure.name;
        EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << failure.name << ": " << message;
        EXPECT_FALSE(message.empty() || message.front() == ' ' || message.back() == ' ')
            << failure.name << ": \"" << message << "\"";
    }
}

// Code page 936 is where the ANSI text of a Chinese system and UTF-8 part ways.
TEST(SystemMessages, ReadInChineseOnAChineseSystem)
{
    if (::GetACP() != 936)
        GTEST_SKIP() << "the ANSI code page is " << ::GetACP() << ", not 936 (Chinese): LC_ALL=zh_CN.UTF-8 for Wine";
    test::TempDir dir;
    for (const Failure& failure : failures(dir)) {
        const std::string message = failure.error.message();
        EXPECT_TRUE(validUtf8(message)) << failure.name;
        EXPECT_TRUE(std::any_of(message.begin(), message.end(), [](char c) { return (c & 0x80) != 0; }))
            << failure.name << ": " << message;
    }
}

} // namespace
} // namespace quvo::runtime
