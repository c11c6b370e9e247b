// SPDX-License-Identifier: MIT
// The Windows window at work, driven as a user drives it (keys and clicks through
// SendInput) on a screen, and read back from it: every control of the layout table where the table puts it at the
// window's dpi, the rules, frames and fills as painted, the keyboard, the link, a complete run, the clipboard, closing
// it or ending the session during a run, and the program itself answering the system all through a run and closed
// during its copy. Under Wine it runs in
// the window test session (tests/programs/window_session.sh), on Windows on the desktop. Runs here go to a temporary
// directory, timed by a clock that steps, so the sustained write is over in a few thousand writes.
#include "app/window_layout.h"
#include "app/windows/drive_list_filler.h"
#include "app/windows/drive_speed_window.h"
#include "app/windows/text.h"
#include "bench/drives.h"
#include "bench/result_rows.h"
#include "bench/target.h"
#include "runtime/designation.h"
#include "runtime/utf16.h"
#include "runtime/volumes.h"
#include "tests/support/clocks.h"
#include "tests/support/temp_dir.h"
#include "tools/windows/window_image.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace quvo::app {
namespace {

namespace fs = std::filesystem;
using tools::WindowImage;

const std::string kInitialStatus = "测试本地磁盘数据仅供参考";
const std::string kWaiting = "测试本地磁盘需要几分钟，请耐心等候... ";
const std::string kCompleted = "本地磁盘测试完成";
// A drive list entry no run can use.
const std::string kDecoyEntry = "?: [decoy]";

// What a click on the link handed the shell.
struct ShellCall {
    HWND owner;
    std::string operation, file, parameters, directory;
    int show;
};

std::size_t tableIndexOf(std::string_view name, int index = kNoIndex)
{
    for (std::size_t at = 0; at < kControls.size(); ++at)
        if (kControls[at].name == name && kControls[at].index == index)
            return at;
    throw std::logic_error("no " + std::string(name) + " in the table");
}

std::string textOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return runtime::narrow(text);
}

std::wstring classNameOf(HWND window)
{
    wchar_t name[64]{};
    ::GetClassNameW(window, name, 64);
    return name;
}

// The tooltip the window gives control; empty where it gives none.
std::wstring tipOf(HWND window, HWND control)
{
    HWND tip = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND found, LPARAM into) {
            if (classNameOf(found) == TOOLTIPS_CLASSW)
                *reinterpret_cast<HWND*>(into) = found;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tip));
    if (tip == nullptr || ::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0) == 0)
        return {};
    std::wstring text(4096, L'\0');
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    ::SendMessageW(tip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

// A control's box in its parent's client coordinates.
PixelBox boxOf(HWND control)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

LOGFONTW fontOf(HWND control)
{
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

SIZE extentIn(HWND control, std::wstring_view text)
{
    SIZE extent{};
    const WindowDc dc(control, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    ::GetTextExtentPoint32W(dc.get(), text.data(), static_cast<int>(text.size()), &extent);
    return extent;
}

// A caption's width as the layout measures it: 90 twips for each byte it takes in GBK,
// one for ASCII and two for the rest.
int gbkTwips(std::wstring_view caption)
{
    int bytes = 0;
    for (const wchar_t c : caption)
        bytes += c < 0x80 ? 1 : 2;
    return bytes * 90;
}

void sendKey(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

// Keys pressed together, as a user presses Ctrl+C: down in order, up in reverse.
void press(const std::vector<WORD>& keys)
{
    for (const WORD key : keys)
        sendKey(key, false);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        sendKey(*key, true);
}

void moveMouseTo(POINT screen)
{
    ::SetCursorPos(screen.x, screen.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = screen.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = screen.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof input);
}

// A click of the left (or right) button at a point of window's client area.
void clickAt(HWND window, POINT client, bool right = false)
{
    ::ClientToScreen(window, &client);
    moveMouseTo(client);
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof input[0]);
}

POINT centreOf(HWND control)
{
    RECT r{};
    ::GetClientRect(control, &r);
    return {r.right / 2, r.bottom / 2};
}

std::wstring clipboardText()
{
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

void emptyClipboard()
{
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

// Whether the program was told to end: a WM_QUIT waits in this thread's queue. Takes it.
std::optional<int> takeQuit()
{
    MSG msg{};
    if (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return static_cast<int>(msg.wParam);
    return std::nullopt;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory_ = std::make_unique<test::TempDir>("quvo-window");
        // A drive letter names its drive's current directory: the run's is ours.
        ASSERT_FALSE(runtime::designateDirectory(test::utf8(directory_->path())));
        driveText_ = bench::driveTextOf(test::utf8(directory_->path()));
        open({{kDecoyEntry, driveText_}, 1});
    }

    void TearDown() override
    {
        window_.reset();
        takeQuit();
        directory_.reset();
    }

    // A window of its own for each case; the one before goes, with the quit it posts.
    void open(const bench::DriveList& drives)
    {
        window_.reset();
        takeQuit();
        window_ = std::make_unique<DriveSpeedWindow>(drives, clock_,
            [this](HWND owner, const char* operation, const char* file, const char* parameters, const char* directory,
                int show) {
                shellCalls_.push_back({owner, operation, file, parameters, directory, show});
                ++linkClicks_;
            });
        // Where nothing else on the screen covers it.
        ::SetWindowPos(window_->handle(), nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        moveMouseTo({1200, 1000});
    }

    void showActive()
    {
        window_->show(SW_SHOWNORMAL);
        ::SetForegroundWindow(window_->handle());
        settle();
    }

    // Lets the window take and answer what is queued for it, as the program's loop does.
    void settle(std::chrono::milliseconds time = std::chrono::milliseconds(300))
    {
        const auto end = std::chrono::steady_clock::now() + time;
        do {
            MSG msg{};
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    ::PostQuitMessage(static_cast<int>(msg.wParam));
                    return;
                }
                if (window_ == nullptr || !window_->translateKeys(msg)) {
                    ::TranslateMessage(&msg);
                    ::DispatchMessageW(&msg);
                }
            }
            ::Sleep(10);
        } while (std::chrono::steady_clock::now() < end);
    }

    WindowImage capture()
    {
        ::RedrawWindow(
            window_->handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        settle();
        return tools::captureClient(window_->handle());
    }

    HWND control(std::string_view name, int index = kNoIndex) const
    {
        return ::GetDlgItem(window_->handle(), controlIdOf(tableIndexOf(name, index)));
    }
    HWND fill(int row) const
    {
        return ::GetDlgItem(control("pctStatusBar", row), controlIdOf(tableIndexOf(kBarFillName, row)));
    }
    std::string label(std::string_view name, int index = kNoIndex) const { return textOf(control(name, index)); }

    std::vector<std::string> filesLeft() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(directory_->path()))
            names.push_back(test::utf8(entry.path().filename()));
        return names;
    }

    void click(std::string_view name) { ::SendMessageW(control(name), BM_CLICK, 0, 0); }

    std::unique_ptr<test::TempDir> directory_;
    std::string driveText_;
    test::StepClock clock_{0.001};
    std::vector<ShellCall> shellCalls_;
    std::atomic<int> linkClicks_{0}; // read from the run's thread too
    std::unique_ptr<DriveSpeedWindow> window_;
};

TEST_F(WindowTest, OpensWithItsClientAreaTitleAndIcons)
{
    showActive();
    const HWND window = window_->handle();
    ASSERT_EQ(window_->dpi(), 96) << "the session's screen is at 96 dpi";
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 509);
    EXPECT_EQ(client.bottom, 326);
    EXPECT_EQ(textOf(window), "Quvo磁盘速度测试");
    EXPECT_EQ(classNameOf(window), L"frmDriveSpeed");
    // Closed and minimised, never resized.
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    for (const auto& [which, size] : {std::pair{ICON_BIG, 32}, std::pair{ICON_SMALL, 16}}) {
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        BITMAP mask{};
        ::GetObjectW(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, size);
        ::DeleteObject(info.hbmMask);
        if (info.hbmColor != nullptr)
            ::DeleteObject(info.hbmColor);
    }
    // The face colour where no control stands, the right end of the footer.
    const WindowImage image = capture();
    ASSERT_EQ(image.width, 509);
    EXPECT_EQ(image.at(505, 323), ::GetSysColor(COLOR_3DFACE));
    EXPECT_EQ(::GetFocus(), control("Drive1")) << "the focus starts in the drive list";
}

TEST_F(WindowTest, BuildsEveryControlOfTheTable)
{
    showActive();
    int children = 0;
    ::EnumChildWindows(
        window_->handle(),
        [](HWND, LPARAM count) {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children, kControlCount) << "62 controls and nothing beside them";
    const WindowImage image = capture();
    ASSERT_EQ(image.width, 509);

    const std::wstring x = L"X";
    for (std::size_t at = 0; at < kControls.size(); ++at) {
        const ControlSpec& spec = kControls[at];
        SCOPED_TRACE(controlName(spec));
        const HWND parent = spec.kind == ControlKind::BarFill ? control("pctStatusBar", spec.index) : window_->handle();
        const HWND c = ::GetDlgItem(parent, controlIdOf(at));
        ASSERT_NE(c, nullptr);
        EXPECT_TRUE(::IsWindowVisible(c));
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(c, GWL_STYLE));
        // Only the drive list and the button take the focus.
        EXPECT_EQ((style & WS_TABSTOP) != 0, spec.tab != kNoTab);
        const PixelBox box = pixelBox(spec);

        switch (spec.kind) {
        case ControlKind::Label:
        case ControlKind::LinkLabel: {
            EXPECT_EQ(classNameOf(c), L"Static");
            EXPECT_EQ(boxOf(c), box);
            EXPECT_EQ(textOf(c), spec.caption);
            EXPECT_NE(style & SS_NOPREFIX, 0u) << "an & is shown as it is";
            EXPECT_EQ(style & SS_TYPEMASK, DWORD(spec.align == Align::Centre ? SS_CENTER : SS_LEFTNOWORDWRAP));
            // The captions and legends (180 twips high, one line of the cell) are sized
            // to their text: exactly the box the caption needs.
            // Its text in its colour: the darkest pixel of its smoothed glyphs is blue
            // for the link and its caption, grey (black ink on the face) for the rest.
            if (!spec.caption.empty()) {
                COLORREF darkest = ::GetSysColor(COLOR_3DFACE);
                const auto sum = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
                for (int x = box.left; x < box.left + box.width; ++x)
                    for (int y = box.top; y < box.top + box.height; ++y)
                        if (sum(image.at(x, y)) < sum(darkest))
                            darkest = image.at(x, y);
                const bool blue
                    = GetBValue(darkest) > GetRValue(darkest) + 96 && GetBValue(darkest) > GetGValue(darkest) + 96;
                const bool grey = std::abs(GetRValue(darkest) - GetBValue(darkest)) < 16 && sum(darkest) < 3 * 128;
                EXPECT_TRUE(spec.colour == Colour::Blue ? blue : grey) << std::hex << darkest;
            }
            if (spec.height == 180) {
                const std::wstring caption = runtime::widen(spec.caption);
                EXPECT_EQ(spec.width, gbkTwips(caption));
                // Wine hints AR PL UMing's "<" and ">" a pixel wider than 宋体's cell:
                // where the stand-in draws them, the legend's arrow reaches past its box.
                const auto wider = std::count_if(
                    caption.begin(), caption.end(), [](wchar_t ch) { return ch == L'<' || ch == L'>'; });
                EXPECT_GE(extentIn(c, caption).cx, box.width);
                EXPECT_LE(extentIn(c, caption).cx, box.width + wider);
            }
            break;
        }
        case ControlKind::DriveList: {
            EXPECT_EQ(classNameOf(c), L"ComboBox");
            EXPECT_EQ(boxOf(c), box) << "the closed list's selection field fills the box";
            EXPECT_EQ(style & 3u, DWORD{CBS_DROPDOWNLIST});
            EXPECT_EQ(::SendMessageW(c, CB_GETCOUNT, 0, 0), 2);
            break;
        }
        case ControlKind::Button:
            EXPECT_EQ(classNameOf(c), L"Button");
            EXPECT_EQ(boxOf(c), box);
            EXPECT_EQ(textOf(c), spec.caption);
            EXPECT_EQ(style & BS_TYPEMASK, DWORD{BS_PUSHBUTTON}) << "never the default button";
            break;
        case ControlKind::Line:
            EXPECT_EQ(classNameOf(c), kRuleClass);
            EXPECT_EQ(boxOf(c), box);
            break;
        case ControlKind::BarFrame: {
            EXPECT_EQ(classNameOf(c), kBarFrameClass);
            EXPECT_EQ(boxOf(c), box);
            EXPECT_NE(style & WS_BORDER, 0u);
            RECT interior{};
            ::GetClientRect(c, &interior);
            EXPECT_EQ(interior.right, box.width - 2);
            EXPECT_EQ(interior.bottom, box.height - 2);
            break;
        }
        case ControlKind::BarFill: {
            // At the interior's top left, one pixel wide (15 twips), as high as the interior.
            EXPECT_EQ(classNameOf(c), kBarFillClass);
            RECT interior{};
            ::GetClientRect(parent, &interior);
            EXPECT_EQ(boxOf(c), (PixelBox{0, 0, 1, interior.bottom}));
            EXPECT_EQ(interior.bottom, box.height);
            break;
        }
        }

        if (spec.kind == ControlKind::Line || spec.kind == ControlKind::BarFrame || spec.kind == ControlKind::BarFill)
            continue;
        const LOGFONTW font = fontOf(c);
        EXPECT_FALSE(font.lfUnderline);
        if (spec.font == TextFont::Window) {
            // "宋体" 9 pt: the 6 × 12 pixel cell the text-sized boxes are measured in.
            EXPECT_STREQ(font.lfFaceName, L"宋体");
            EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
            EXPECT_EQ(font.lfHeight, -12);
            EXPECT_EQ(extentIn(c, x).cx, 6);
            EXPECT_EQ(extentIn(c, L"快").cx, 12);
            EXPECT_EQ(extentIn(c, L"：").cx, 12);
        } else {
            EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
            EXPECT_EQ(font.lfHeight, -11);
            EXPECT_EQ(font.lfWeight, FW_BOLD);
        }
    }
}

// Every bar as painted: its frame's one-pixel border, the interior in the window
// colour, and the fill's columns in the fill colour, cut off at the interior's edge
// and, in the right column, at the client area's edge.
TEST_F(WindowTest, PaintsFramesFillsAndRules)
{
    struct Case {
        const char* name;
        int row;
        float twips;
        int filled; // interior columns in the fill colour
    };
    const Case cases[] = {
        {"a reset bar shows one column", 0, 15, 1},
        {"no width shows nothing", 2, 0, 0},
        {"below zero shows nothing", 8, -500, 0},
        {"full scale covers the interior", 6, 3705, 247},
        {"10000 twips stops at the border", 4, 10000, 247},
        {"right column, cut at the client edge", 1, 10000, 509 - 269},
        {"right column, half way", 7, 1852.5f, 124},
    };
    showActive();
    for (const Case& c : cases)
        window_->setBarWidth(c.row, c.twips);
    const WindowImage image = capture();
    ASSERT_EQ(image.width, 509);
    const COLORREF interiorColour = ::GetSysColor(COLOR_WINDOW);
    constexpr int kClientWidth = 509;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelBox frame = boxOf(control("pctStatusBar", c.row));
        ASSERT_EQ(frame.width, 249);
        ASSERT_EQ(frame.height, 19);
        const int right = frame.left + frame.width - 1;
        const int bottom = frame.top + frame.height - 1;
        const COLORREF border = image.at(frame.left, frame.top);
        EXPECT_NE(border, interiorColour);
        for (int x = frame.left; x <= std::min(right, kClientWidth - 1); ++x) {
            EXPECT_EQ(image.at(x, frame.top), border) << x;
            EXPECT_EQ(image.at(x, bottom), border) << x;
        }
        for (int y = frame.top; y <= bottom; ++y) {
            EXPECT_EQ(image.at(frame.left, y), border) << y;
            if (right < kClientWidth) {
                EXPECT_EQ(image.at(right, y), border) << y;
            }
        }
        const int interiorLeft = frame.left + 1;
        const int interiorRight = std::min(right - 1, kClientWidth - 1);
        for (int x = interiorLeft; x <= interiorRight; ++x)
            for (const int y : {frame.top + 1, frame.top + frame.height / 2, bottom - 1})
                ASSERT_EQ(image.at(x, y), x - interiorLeft < c.filled ? kBarFillColour : interiorColour)
                    << "x " << x << " y " << y;
    }

    // The rules: from the left edge to the right edge of the client area, one pixel high.
    for (const std::string_view rule : {"Line1", "Line2"}) {
        SCOPED_TRACE(std::string(rule));
        const int y = pixelBox(kControls[tableIndexOf(rule)]).top;
        for (int x = 0; x < kClientWidth; ++x)
            ASSERT_EQ(image.at(x, y), ::GetSysColor(COLOR_WINDOWTEXT)) << x;
        EXPECT_EQ(image.at(100, y - 1), ::GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(image.at(100, y + 1), ::GetSysColor(COLOR_3DFACE));
    }
}

TEST_F(WindowTest, ACompleteRunFillsTheRowsAndLeavesNothing)
{
    showActive();
    const std::string prefix = bench::targetPrefix(driveText_);
    EXPECT_EQ(prefix, runtime::designationFor(test::utf8(directory_->path())));

    std::vector<std::string> statusesSeen;
    bool inOrder = true;
    bool fileWritten = false;
    clock_.onReading = [&] {
        const std::string status = label(kStatusName);
        if (statusesSeen.empty() || statusesSeen.back() != status)
            statusesSeen.push_back(status);
        // The rows fill in one after another: those shown are always the first ones.
        bool gap = false;
        for (int row = 0; row < bench::kRowCount; ++row) {
            const bool shown = !label(kResultName, row).empty();
            inOrder = inOrder && !(shown && gap);
            gap = gap || !shown;
        }
        fileWritten = fileWritten || fs::exists(directory_->path() / "DriveSpeedTest.txt");
    };
    click("cmdCheckSpeed");
    clock_.onReading = nullptr;

    EXPECT_EQ(statusesSeen, std::vector<std::string>{kWaiting + prefix});
    EXPECT_EQ(label(kStatusName), kCompleted);
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(fileWritten) << "the run worked in the selected entry's directory";
    EXPECT_EQ(filesLeft(), std::vector<std::string>{});
    const std::regex seconds(R"(^\d+\.\d{3} 秒$)");
    const std::regex speed(R"(^\d{1,3}(,\d{3})* KB/秒$)");
    for (int row = 0; row < bench::kRowCount; ++row) {
        const std::string result = label(kResultName, row);
        EXPECT_TRUE(std::regex_match(result, row == 4 || row == 5 ? speed : seconds)) << row << ": " << result;
        // How the figure met the device, for each row that moves data.
        const bool movesData = row != 6 && row != 8;
        EXPECT_EQ(tipOf(window_->handle(), control(kResultName, row)).empty(), !movesData) << row;
    }
    // Each bar as wide as its row's result says, and painted so.
    const WindowImage image = capture();
    int drawn = 0;
    for (int row = 0; row < bench::kRowCount; ++row) {
        const int width = boxOf(fill(row)).width;
        drawn += width > 1 ? 1 : 0;
        if (width > 0) {
            // Its last column, where the frame and the client area's edge leave it.
            const PixelBox frame = boxOf(control("pctStatusBar", row));
            EXPECT_EQ(image.at(std::min({frame.left + width, frame.left + 247, 508}), frame.top + 5), kBarFillColour)
                << row;
        }
    }
    EXPECT_GT(drawn, 0) << "some bar longer than its reset pixel";
    EXPECT_TRUE(::IsWindowVisible(window_->handle()));
    EXPECT_FALSE(takeQuit());
}

TEST_F(WindowTest, CtrlCAndTheContextMenuCopyTheLastRun)
{
    showActive();
    click("cmdCheckSpeed");
    ASSERT_EQ(label(kStatusName), kCompleted);

    const auto expectReport = [&](const std::wstring& copied) {
        const std::string report = runtime::narrow(copied);
        EXPECT_NE(report.find("磁盘：" + driveText_ + "\r\n"), std::string::npos) << report;
        EXPECT_TRUE(std::regex_search(report, std::regex(R"(quvo-diskspeed \d+\.\d+\.\d+)")));
        for (int row = 0; row < bench::kRowCount; ++row) {
            const std::string line
                = std::string(bench::kRows[static_cast<std::size_t>(row)].caption) + " " + label(kResultName, row);
            EXPECT_NE(report.find(line), std::string::npos) << line;
        }
        EXPECT_NE(report.find("10,240,000 字节"), std::string::npos);
        EXPECT_EQ(report.find('\n'), report.find("\r\n") + 1) << "Windows line ends";
        EXPECT_TRUE(report.ends_with(kCompleted + "\r\n"));
    };

    emptyClipboard();
    ::SetFocus(control("Drive1"));
    press({VK_CONTROL, 'C'});
    settle();
    expectReport(clipboardText());

    // "复制结果" in the menu of the result area, chosen with the keys.
    emptyClipboard();
    const PixelBox result = pixelBox(kControls[tableIndexOf("pctStatusBar", 4)]);
    clickAt(window_->handle(), {result.left + 20, result.top + 5}, /*right=*/true);
    press({VK_DOWN});
    press({VK_RETURN});
    settle();
    expectReport(clipboardText());
    EXPECT_EQ(label(kStatusName), kCompleted) << "the keys went to the menu, nothing else";
}

TEST_F(WindowTest, KeysOnlyTheFocusedButtonAnswers)
{
    struct Case {
        const char* name;
        std::string_view focus;
        WORD key;
        bool runs;
    };
    const Case cases[] = {
        {"Enter in the drive list starts nothing", "Drive1", VK_RETURN, false},
        {"Escape in the drive list does nothing", "Drive1", VK_ESCAPE, false},
        {"Escape on the button does nothing", "cmdCheckSpeed", VK_ESCAPE, false},
        {"Space presses the button", "cmdCheckSpeed", VK_SPACE, true},
        {"Enter presses the focused button", "cmdCheckSpeed", VK_RETURN, true},
    };
    showActive();
    const HWND drive1 = control("Drive1");
    const HWND button = control("cmdCheckSpeed");
    // Labels, rules and bars never take the focus: Tab goes back and forth between two.
    ASSERT_EQ(::GetFocus(), drive1);
    const std::vector<std::pair<std::vector<WORD>, HWND>> steps
        = {{{VK_TAB}, button}, {{VK_TAB}, drive1}, {{VK_SHIFT, VK_TAB}, button}, {{VK_SHIFT, VK_TAB}, drive1}};
    for (const auto& [keys, expected] : steps) {
        press(keys);
        settle(std::chrono::milliseconds(100));
        EXPECT_EQ(::GetFocus(), expected) << "focus in a " << runtime::narrow(classNameOf(::GetFocus()));
        // The dialog keys mark the focused button as the one Enter presses, and only
        // while it has the focus: in the drive list, Enter presses nothing.
        if (expected == drive1) {
            EXPECT_EQ(::GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
        }
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window_->setStatusText(kInitialStatus);
        ::SetFocus(control(c.focus));
        press({c.key});
        settle();
        EXPECT_EQ(label(kStatusName), c.runs ? kCompleted : kInitialStatus);
        EXPECT_TRUE(::IsWindowVisible(window_->handle()));
        EXPECT_EQ(filesLeft(), std::vector<std::string>{});
    }
}

TEST_F(WindowTest, OnlyTheLinkOpensTheMakersSite)
{
    showActive();
    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    for (std::size_t at = 0; at < kControls.size(); ++at) {
        const ControlSpec& spec = kControls[at];
        if (spec.kind != ControlKind::Label && spec.kind != ControlKind::LinkLabel)
            continue;
        SCOPED_TRACE(controlName(spec));
        const bool link = spec.name == "Label30";
        const HWND c = ::GetDlgItem(window_->handle(), controlIdOf(at));
        POINT point = centreOf(c);
        ::MapWindowPoints(c, window_->handle(), &point, 1);
        shellCalls_.clear();
        clickAt(window_->handle(), point);
        settle(std::chrono::milliseconds(100));
        EXPECT_EQ(::GetCursor(), link ? hand : arrow);
        ASSERT_EQ(shellCalls_.size(), link ? 1u : 0u);
        if (!link)
            continue;
        const ShellCall& call = shellCalls_.front();
        EXPECT_EQ(call.owner, window_->handle());
        EXPECT_EQ(call.operation, "open");
        EXPECT_EQ(call.file, "http://www.quvo.example/");
        EXPECT_EQ(call.parameters, "");
        EXPECT_EQ(call.directory, "");
        EXPECT_EQ(call.show, 4) << "SW_SHOWNOACTIVATE";
    }
    EXPECT_EQ(label(kStatusName), kInitialStatus) << "a click on a label starts nothing";
}

// A click in the client area during a row stays queued for the run's next pump, as it
// did when the run held the window's thread: the link opens there, not in the middle of
// a measurement.
TEST_F(WindowTest, AClickDuringARowWaitsForTheRunsNextPump)
{
    showActive();
    POINT link = centreOf(control("Label30"));
    ::MapWindowPoints(control("Label30"), window_->handle(), &link, 1);
    bool clicked = false;
    int opensInRow = -1;
    clock_.onReading = [&] {
        if (clicked || label(kResultName, 0).empty())
            return;
        clicked = true;
        clickAt(window_->handle(), link);
        // Time enough for the window to have taken it, had it not waited.
        ::Sleep(300);
        opensInRow = linkClicks_;
    };
    click("cmdCheckSpeed");
    clock_.onReading = nullptr;
    EXPECT_TRUE(clicked);
    EXPECT_EQ(opensInRow, 0);
    EXPECT_EQ(linkClicks_, 1);
    EXPECT_EQ(label(kStatusName), kCompleted);
}

TEST(ShellTexts, AreInTheSystemCodePage)
{
    if (::GetACP() != 936)
        GTEST_SKIP() << "the system code page is " << ::GetACP() << ", not 936 (run under LANG=zh_CN.UTF-8)";
    EXPECT_EQ(systemCodePage("测试"), "\xb2\xe2\xca\xd4");
    EXPECT_EQ(systemCodePage("http://www.quvo.example/"), "http://www.quvo.example/");
}

// How the window is asked to stop a run, and whether the session may end at once.
enum class Stop {
    Close,           // the user closes the window
    EndSession,      // a logoff or shutdown asks (WM_QUERYENDSESSION)
    CriticalSession, // one that cannot wait (ENDSESSION_CRITICAL)
    Quit,            // the program is told to end (WM_QUIT)
};

TEST_F(WindowTest, AStopDuringARunClosesTheWindowOnceItsFilesAreGone)
{
    struct Case {
        const char* name;
        Stop by;
        int afterRow; // the row whose result is set when it is asked; -1 before any
    };
    const Case cases[] = {
        {"closed before the small write", Stop::Close, -1},
        {"closed after the small write", Stop::Close, 0},
        {"closed after the sustained write", Stop::Close, 4},
        {"closed after the copy", Stop::Close, 7},
        {"session ends after the large write", Stop::EndSession, 2},
        {"session ends after the read-back", Stop::EndSession, 5},
        {"critical end of session after the lookups", Stop::CriticalSession, 6},
        {"quit after the large read", Stop::Quit, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open({{kDecoyEntry, driveText_}, 1});
        showActive();
        const HWND window = window_->handle();
        bool asked = false;
        bool fileWhenAsked = false;
        std::thread session;
        std::optional<LRESULT> sessionAnswer;
        clock_.onReading = [&] {
            if (asked || (c.afterRow >= 0 && label(kResultName, c.afterRow).empty()))
                return;
            asked = true;
            fileWhenAsked = fs::exists(directory_->path() / "DriveSpeedTest.txt");
            // From the run's own thread, as the clock is read there; the window's
            // answers while the run measures. The close and the end of the session
            // are sent, so that the run goes on only once they are answered.
            switch (c.by) {
            case Stop::Close: ::SendMessageW(window, WM_CLOSE, 0, 0); break;
            case Stop::Quit: ::PostThreadMessageW(::GetWindowThreadProcessId(window, nullptr), WM_QUIT, 7, 0); break;
            case Stop::EndSession:
            case Stop::CriticalSession:
                // As the system asks: from another thread.
                session = std::thread([&, critical = c.by == Stop::CriticalSession] {
                    sessionAnswer = ::SendMessageW(
                        window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF | (critical ? ENDSESSION_CRITICAL : 0));
                });
                session.join();
                break;
            }
        };
        click("cmdCheckSpeed");
        clock_.onReading = nullptr;

        EXPECT_TRUE(asked);
        if (c.afterRow >= 0) {
            EXPECT_TRUE(fileWhenAsked) << "asked while a test file was there";
        }
        // The run stopped within the row it was in, not at the pump after it, removed
        // its files, and the window closed.
        if (c.by != Stop::Quit) {
            EXPECT_FALSE(window_->lastRun().rows()[static_cast<std::size_t>(c.afterRow + 1)].measured);
        }
        EXPECT_FALSE(::IsWindow(window));
        EXPECT_EQ(window_->handle(), nullptr);
        EXPECT_EQ(filesLeft(), std::vector<std::string>{});
        EXPECT_EQ(takeQuit(), c.by == Stop::Quit ? 7 : 0) << "the program ends";
        if (c.by == Stop::EndSession || c.by == Stop::CriticalSession) {
            // An end of session that can wait waits for the run; a critical one cannot.
            EXPECT_EQ(sessionAnswer, c.by == Stop::CriticalSession ? TRUE : FALSE);
        }
    }
}

TEST_F(WindowTest, WhenIdleAnEndOfSessionGoesOnAndACloseEndsTheProgram)
{
    showActive();
    EXPECT_EQ(::SendMessageW(window_->handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_TRUE(::IsWindowVisible(window_->handle()));
    EXPECT_EQ(label(kStatusName), kInitialStatus);
    const HWND window = window_->handle();
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    settle();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(takeQuit(), 0);
}

TEST_F(WindowTest, OutsideTextIsShownAsItIs)
{
    // A run in a directory whose name holds ampersands, measured there. (Windows allows
    // no "<", ">" or "/" in a name.)
    const fs::path named = directory_->path() / fs::path(u8"a&b x&&y 目录");
    fs::create_directories(named);
    ASSERT_FALSE(runtime::designateDirectory(test::utf8(named)));
    window_->offerDrives({{bench::driveTextOf(test::utf8(named))}, 0});
    showActive();
    bool measuredThere = false;
    clock_.onReading = [&] { measuredThere = measuredThere || fs::exists(named / "DriveSpeedTest.txt"); };
    click("cmdCheckSpeed");
    clock_.onReading = nullptr;
    EXPECT_TRUE(measuredThere);
    EXPECT_EQ(label(kStatusName), kCompleted);
    EXPECT_TRUE(fs::is_empty(named));

    // The status line shows any text as it is: every character of it is painted,
    // the "&" too, and no markup is read.
    const std::string marked = "a&b <b>x</b>";
    window_->setStatusText(marked);
    EXPECT_EQ(label(kStatusName), marked);
    const HWND status = control(kStatusName);
    const PixelBox box = boxOf(status);
    const WindowImage image = capture();
    int first = box.left + box.width;
    int last = box.left - 1;
    for (int x = box.left; x < box.left + box.width; ++x)
        for (int y = box.top; y < box.top + box.height; ++y)
            if (image.at(x, y) != ::GetSysColor(COLOR_3DFACE)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    const int painted = last - first + 1;
    const int whole = extentIn(status, runtime::widen(marked)).cx; // 12 characters, 72 pixels
    EXPECT_GE(painted, whole - 4) << "the ink of all " << marked.size() << " characters";
    EXPECT_LE(painted, whole);
}

TEST_F(WindowTest, AStatusTooLongForItsBoxIsWholeInItsTooltip)
{
    const HWND status = control(kStatusName);
    const PixelBox box = boxOf(status);
    const auto tipText = [&] { return tipOf(window_->handle(), status); };

    EXPECT_EQ(tipText(), L"");
    const std::string reason = "本地磁盘测试失败：检查 C:\\a&b\\very\\long\\path\\" + std::string(120, 'x')
        + "\\DriveSpeedTest.txt 时出错（该名称已被目录、链接或设备等占用，不是普通文件）";
    window_->setStatusText(reason);
    EXPECT_EQ(boxOf(status), box) << "the box never grows";
    EXPECT_EQ(tipText(), runtime::widen(reason));
    window_->setStatusText(kCompleted);
    EXPECT_EQ(tipText(), L"");
}

TEST_F(WindowTest, TheDriveListFillsWithoutHoldingTheWindowAndKeepsTheChoice)
{
    // The current directory's drive first and selected, whatever answers.
    const bench::DriveList offered = bench::offeredDrives();
    ASSERT_FALSE(offered.entries.empty());
    EXPECT_EQ(offered.selected, 0);
    EXPECT_EQ(bench::targetPrefix(offered.entries.front()), bench::targetPrefix(driveText_));

    const auto firstEntry = [&] {
        wchar_t text[256]{};
        ::SendMessageW(control("Drive1"), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
        return runtime::narrow(text);
    };
    showActive();
    {
        const DriveListFiller filler(window_->handle());
        // The window answers while the drives are asked; their answer comes as a message.
        EXPECT_EQ(label(kStatusName), kInitialStatus);
        for (int wait = 0; wait < 200 && firstEntry() == kDecoyEntry; ++wait)
            settle(std::chrono::milliseconds(50));
    }
    const HWND drive1 = control("Drive1");
    // The same entries (their free space may have moved meanwhile), the chosen one kept.
    ASSERT_EQ(::SendMessageW(drive1, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(offered.entries.size()));
    EXPECT_EQ(bench::targetPrefix(window_->driveText()), bench::targetPrefix(driveText_));
    EXPECT_EQ(bench::targetPrefix(firstEntry()), bench::targetPrefix(offered.entries.front()));

    // When the volumes answer again, the entry the user chose stays chosen.
    const std::string fresher = bench::targetPrefix(driveText_) + " [NTFS, 1.0 GB 可用]";
    window_->offerDrives({{kDecoyEntry, "y: [FAT32]", fresher}, 1});
    EXPECT_EQ(window_->driveText(), fresher);
    window_->offerDrives({{kDecoyEntry, "y: [FAT32]"}, 1});
    EXPECT_EQ(window_->driveText(), "y: [FAT32]");
}

TEST_F(WindowTest, ADpiChangeLaysTheWindowOutAgain)
{
    showActive();
    window_->setBarWidth(0, 3705);
    const HWND window = window_->handle();
    for (const int dpi : {144, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested{200, 150, 900, 700};
        ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(window_->dpi(), dpi);
        RECT client{};
        ::GetClientRect(window, &client);
        EXPECT_EQ(client.right, pixels(kClientWidthTwips, dpi));
        EXPECT_EQ(client.bottom, pixels(kClientHeightTwips, dpi));
        RECT frame{};
        ::GetWindowRect(window, &frame);
        EXPECT_EQ(frame.left, 200);
        EXPECT_EQ(frame.top, 150);
        for (const std::string_view name : {"Label1", "Drive1", "lblStatus", "cmdCheckSpeed", "Line2"})
            EXPECT_EQ(boxOf(control(name)), pixelBox(kControls[tableIndexOf(name)], dpi)) << name;
        EXPECT_EQ(boxOf(control("pctStatusBar", 3)), pixelBox(kControls[tableIndexOf("pctStatusBar", 3)], dpi));
        RECT interior{};
        ::GetClientRect(control("pctStatusBar", 0), &interior);
        EXPECT_EQ(boxOf(fill(0)), (PixelBox{0, 0, interior.right, interior.bottom})) << "full scale fills it";
        EXPECT_EQ(fontOf(control("Label1")).lfHeight, -::MulDiv(9, dpi, 72));
        EXPECT_EQ(fontOf(control(kResultName, 0)).lfHeight, -::MulDiv(825, dpi, 7200));
        EXPECT_EQ(extentIn(control("Label1"), L"快").cx, pixels(180, dpi));
    }
}

// The built program, as a user runs it: its window, from outside.
class TheProgram : public ::testing::Test {
protected:
    // The program the environment names (QUVO_WINDOW_PROGRAM: an installed copy), else
    // the one built beside the tests.
    static fs::path program()
    {
        wchar_t named[MAX_PATH]{};
        if (::GetEnvironmentVariableW(L"QUVO_WINDOW_PROGRAM", named, MAX_PATH) > 0)
            return named;
        wchar_t self[MAX_PATH]{};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        return fs::path(self).parent_path() / QUVO_PROGRAMS_FROM_TESTS / L"quvo-diskspeed.exe";
    }

    void start(const fs::path& directory)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + program().wstring() + L"\"";
        ASSERT_TRUE(::CreateProcessW(program().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            directory.c_str(), &startup, &process_))
            << "cannot start " << program().string();
        ::WaitForInputIdle(process_.hProcess, 30'000);
        for (int wait = 0; wait < 300 && window_ == nullptr; ++wait) {
            ::EnumWindows(
                [](HWND window, LPARAM self) {
                    auto* test = reinterpret_cast<TheProgram*>(self);
                    DWORD owner = 0;
                    ::GetWindowThreadProcessId(window, &owner);
                    if (owner == test->process_.dwProcessId && classNameOf(window) == kWindowClass
                        && ::IsWindowVisible(window))
                        test->window_ = window;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            ::Sleep(100);
        }
        ASSERT_NE(window_, nullptr) << "no window within 30 s";
    }

    // The program's exit status once it has ended; nothing if it is still running.
    std::optional<DWORD> ended(DWORD waitMs)
    {
        if (::WaitForSingleObject(process_.hProcess, waitMs) != WAIT_OBJECT_0)
            return std::nullopt;
        DWORD status = 0;
        ::GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }

    HWND control(std::string_view name, int index = kNoIndex) const
    {
        return ::GetDlgItem(window_, controlIdOf(tableIndexOf(name, index)));
    }
    // A control's text, read without asking the program.
    std::string textOf(HWND c) const
    {
        wchar_t text[256]{};
        ::InternalGetWindowText(c, text, 256);
        return runtime::narrow(text);
    }

    void TearDown() override
    {
        if (process_.hProcess == nullptr)
            return;
        if (!ended(0))
            ::TerminateProcess(process_.hProcess, 99);
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

TEST_F(TheProgram, OpensItsWindowAndEndsWhenItIsClosed)
{
    const test::TempDir directory("quvo-program");
    start(directory.path());
    RECT client{};
    ::GetClientRect(window_, &client);
    EXPECT_EQ(client.right, 509);
    EXPECT_EQ(client.bottom, 326);
    EXPECT_EQ(textOf(window_), "Quvo磁盘速度测试");
    EXPECT_EQ(textOf(control(kStatusName)), kInitialStatus);
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(ended(10'000), 0u);
}

// All through a run, to the copy, the program answers the system within a second (a
// window silent for five seconds is shown "not responding", and its close box then
// ends the process, test files and all), and a close during the copy, which moves the
// file the 3-second write made and lasts seconds, ends it with nothing left behind.
TEST_F(TheProgram, AnswersAllThroughARunAndClosedDuringTheCopyLeavesNothing)
{
    const test::TempDir directory("quvo-program");
    start(directory.path());
    ::PostMessageW(control("cmdCheckSpeed"), BM_CLICK, 0, 0);
    DWORD slowest = 0;
    int answers = 0;
    bool copying = false;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!copying && !ended(0) && std::chrono::steady_clock::now() < giveUp) {
        copying = fs::exists(directory.path() / "DriveSpeedTest2.txt");
        const DWORD asked = ::GetTickCount();
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10'000, &result) != 0)
            ++answers;
        slowest = std::max(slowest, ::GetTickCount() - asked);
        ::Sleep(100);
    }
    ASSERT_TRUE(copying) << "never saw the copy";
    std::printf("answered %d times up to the copy, the slowest in %lu ms\n", answers, slowest);
    EXPECT_GT(answers, 10);
    EXPECT_LT(slowest, 1000u) << "the window did not answer for " << slowest << " ms";
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_EQ(ended(10'000), 0u) << "the program ends";
    EXPECT_TRUE(fs::is_empty(directory.path())) << "and leaves nothing";
}

} // namespace
} // namespace quvo::app
