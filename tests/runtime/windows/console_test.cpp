// SPDX-License-Identifier: MIT
// A console program's edge on Windows: its command line split as the system splits it,
// without the system's splitter (shell32 loads user32), and a console told from the
// devices, files and pipes that are none.
#include "runtime/console.h"

#include "runtime/designation.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
#include <windows.h>

#include <shellapi.h>

namespace quvo::runtime {
namespace {

std::string utf8Of(const std::wstring& wide)
{
    const int length
        = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(
        CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

// What CommandLineToArgvW makes of line, after the program's name.
std::vector<std::string> systemSplit(const std::wstring& line)
{
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8Of(split[i]));
    ::LocalFree(split);
    return arguments;
}

// What the runtime reads from line as a program's command line: echo_arguments, beside
// this test program, started with it.
std::vector<std::string> runtimeSplit(const std::wstring& line)
{
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherited, 0))
        return {"(no pipe)"};
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = line;
    PROCESS_INFORMATION process{};
    std::wstring self(MAX_PATH, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    const std::wstring program = std::filesystem::path(self).replace_filename(L"echo_arguments.exe").wstring();
    const bool started = ::CreateProcessW(
        program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    std::string output;
    std::array<char, 4096> chunk{};
    DWORD got = 0;
    while (started && ::ReadFile(readEnd, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0)
        output.append(chunk.data(), got);
    ::CloseHandle(readEnd);
    if (!started)
        return {"(echo_arguments.exe did not start)"};
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    std::vector<std::string> arguments;
    for (std::size_t at = 0, end = 0; (end = output.find('\0', at)) != std::string::npos; at = end + 1)
        arguments.push_back(output.substr(at, end - at));
    return arguments;
}

TEST(ProgramArguments, AreTheSystemsSplitOfTheCommandLine)
{
    const wchar_t* lines[] = {
        L"quvo.exe",
        L"quvo.exe D:\\data",
        L"quvo.exe --json   \"C:\\测试 目录\\\"",
        L"\"C:\\Program Files\\quvo\\quvo.exe\" -- \"a b\"\tc",
        L"quvo.exe a\\\\\\\"b \"c\\\\\" d\\e",
        L"quvo.exe \"he said \"\"hi\"\"\" \"\" x",
        L"quvo.exe \"open ended",
        L"C:\\dir\\quvo.exe\" x",
    };
    for (const wchar_t* line : lines)
        EXPECT_EQ(runtimeSplit(line), systemSplit(line)) << utf8Of(line);
}

TEST(IsTerminal, OnlyAConsoleIsOne)
{
    test::TempDir dir;
    std::FILE* file = ::_wfopen((dir / "out.txt").c_str(), L"w");
    std::FILE* nul = ::_wfopen(L"NUL", L"w");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(nul, nullptr);
    EXPECT_FALSE(isTerminal(file));
    EXPECT_FALSE(isTerminal(nul)) << "NUL is a character device, but no console";
    std::fclose(file);
    std::fclose(nul);
}

} // namespace
} // namespace quvo::runtime
