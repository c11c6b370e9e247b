// SPDX-License-Identifier: MIT
// quvo-window-shot.exe: the Windows window as a user sees it after a complete run,
// written as PNG. The run works in a fresh temporary directory, made the current
// directory so that the drive list selects its drive, and must leave no test file
// there.
// Usage: quvo-window-shot [--before-run] OUTPUT.png
#include "app/window_layout.h"
#include "app/windows/drive_speed_window.h"
#include "bench/drives.h"
#include "runtime/clock.h"
#include "runtime/utf16.h"
#include "tools/windows/window_image.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quvo::app::kControls;

HWND control(const quvo::app::DriveSpeedWindow& window, std::string_view name, int index = quvo::app::kNoIndex)
{
    for (std::size_t at = 0; at < kControls.size(); ++at)
        if (kControls[at].name == name && kControls[at].index == index)
            return ::GetDlgItem(window.handle(), quvo::app::controlIdOf(at));
    return nullptr;
}

std::string textOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return quvo::runtime::narrow(text);
}

void pump(quvo::app::DriveSpeedWindow& window)
{
    // A few passes, so that what one message asks for (a repaint) is done too.
    for (int pass = 0; pass < 5; ++pass) {
        window.pumpEvents();
        ::Sleep(20);
    }
}

} // namespace

int main()
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args(arguments + 1, arguments + count);
    ::LocalFree(arguments);
    const bool beforeRun = std::erase(args, L"--before-run") > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quvo-window-shot [--before-run] OUTPUT.png\n");
        return 2;
    }
    const fs::path output = fs::absolute(args.front());
    ::SetConsoleOutputCP(CP_UTF8);

    std::error_code error;
    const fs::path directory
        = fs::temp_directory_path() / ("quvo-shot-" + std::to_string(std::random_device{}() % 1'000'000));
    const fs::path previous = fs::current_path();
    if (!fs::create_directory(directory, error) || (fs::current_path(directory, error), error)) {
        std::fprintf(stderr, "quvo-window-shot: no temporary directory\n");
        return 1;
    }

    quvo::runtime::SteadyClock clock;
    quvo::app::DriveSpeedWindow window(
        quvo::bench::offeredDrives(), clock, [](HWND, const char*, const char*, const char*, const char*, int) {});
    window.show(SW_SHOWNORMAL);
    ::SetForegroundWindow(window.handle());
    pump(window);
    if (!beforeRun)
        ::SendMessageW(control(window, "cmdCheckSpeed"), BM_CLICK, 0, 0);
    pump(window);

    std::printf("status: %s\n", textOf(control(window, quvo::app::kStatusName)).c_str());
    for (int row = 0; row < 9; ++row)
        std::printf("row %d: %s\n", row, textOf(control(window, quvo::app::kResultName, row)).c_str());
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(directory))
        left.push_back(quvo::runtime::narrow(entry.path().filename().wstring()));
    std::printf("left in %s: %s\n", quvo::runtime::narrow(directory.wstring()).c_str(),
        left.empty() ? "nothing" : left.front().c_str());

    const quvo::tools::WindowImage image = quvo::tools::captureClient(window.handle());
    fs::current_path(previous, error);
    fs::remove_all(directory, error);
    if (image.pixels.empty() || !quvo::tools::writePng(image, output)) {
        std::fprintf(stderr, "quvo-window-shot: cannot write %s\n", quvo::runtime::narrow(output.wstring()).c_str());
        return 1;
    }
    std::printf("written: %s (%d x %d pixels at %d dpi)\n", quvo::runtime::narrow(output.wstring()).c_str(),
        image.width, image.height, window.dpi());
    return left.empty() ? 0 : 1;
}
