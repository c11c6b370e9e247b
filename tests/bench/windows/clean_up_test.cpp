// SPDX-License-Identifier: MIT
// The clean-up on Windows, where another program may hold a test file without sharing
// its removal (a virus scanner, a sync client): the removal is tried again while the
// file is held a moment, and a file held longer is named with the system's reason.
#include "bench/measurement_run.h"

#include "tests/bench/run_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

namespace quvo::bench {
namespace {

namespace fs = std::filesystem;

// hold_file, beside the test program, in a process of its own, holding file for the
// time given; made once it has said that it holds it.
class Holder {
public:
    Holder(const fs::path& file, int milliseconds)
    {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        if (!::CreatePipe(&readEnd, &writeEnd, &inherited, 0))
            return;
        ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        wchar_t self[MAX_PATH]{};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        const fs::path program = fs::path(self).parent_path() / L"hold_file.exe";
        std::wstring commandLine
            = L"\"" + program.wstring() + L"\" \"" + file.wstring() + L"\" " + std::to_wstring(milliseconds);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        const bool started = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
            CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process_);
        ::CloseHandle(writeEnd);
        char said[8]{};
        DWORD read = 0;
        held_ = started && ::ReadFile(readEnd, said, 4, &read, nullptr) && std::string(said, read) == "held";
        ::CloseHandle(readEnd);
    }
    // Once it has let go.
    ~Holder()
    {
        if (process_.hProcess == nullptr)
            return;
        ::WaitForSingleObject(process_.hProcess, INFINITE);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool held() const { return held_; }

private:
    PROCESS_INFORMATION process_{};
    bool held_ = false;
};

class HeldTestFile : public RunFixture { };

// Stopped as the copy starts, while another program holds test file 1.
TEST_F(HeldTestFile, IsRemovedOnceLetGoOrNamedWithTheReason)
{
    const struct {
        const char* name;
        int holdMs;
        bool left;
    } cases[] = {
        {"held for two seconds", 2000, false},
        {"held for longer than the clean-up waits", 8000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        view = test::RecordingView{};
        std::unique_ptr<Holder> holder;
        onClock = [&] {
            if (holder != nullptr || view.lastShownRow != rowOf(Action::Copy) - 1)
                return;
            holder = std::make_unique<Holder>(dir / "DriveSpeedTest.txt", c.holdMs);
            view.stop->raise();
        };
        EXPECT_EQ(runIn(dir.path()), RunOutcome::Stopped);
        ASSERT_TRUE(holder != nullptr && holder->held());
        const std::string& status = view.statuses.back();
        if (c.left) {
            EXPECT_NE(status.find("测试文件未能删除："), std::string::npos) << status;
            EXPECT_NE(status.find("DriveSpeedTest.txt（"), std::string::npos) << status;
            EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"DriveSpeedTest.txt"});
        } else {
            EXPECT_EQ(status, "本地磁盘测试已中止");
            EXPECT_TRUE(entries(dir.path()).empty());
        }
        holder.reset();
    }
    onClock = nullptr;
}

} // namespace
} // namespace quvo::bench
