// SPDX-License-Identifier: MIT
// The main window on Windows, frmDriveSpeed, written on the Win32 API, and how the
// measurement run uses it.
//
// DriveSpeedWindow creates its 62 controls from the layout table (window_layout.h) as
// the system's own: STATIC labels, a drop-down COMBOBOX, a push BUTTON, and three small
// window classes of its own for the rules, the bar frames and the bar fills. It lays
// them out at its monitor's dpi, and again when that changes. It is the run's view
// (bench::RunView): the run reads Drive1 and writes lblStatus, pctStatusBarDetail(i)
// and lblStatusBar(i). The click of cmdCheckSpeed starts the run on a thread of its own
// (bench::RunThread) and waits for it, handling meanwhile what the system asks (paints,
// sent messages, the frame and the Alt keys) while the client area's clicks and keys
// stay queued for the run's pumps. A close or the end of the session stops the run
// within the block it is moving; the window closes, and a logoff or shutdown goes on,
// once the run has removed its test files.
//
// Every text the window shows from outside (paths, the system's reasons) is plain text:
// no label takes "&" as a mnemonic.
#pragma once

#include "app/window_layout.h"
#include "app/windows/handles.h"
#include "bench/drives.h"
#include "bench/report.h"
#include "bench/result_rows.h"
#include "bench/run_thread.h"
#include "bench/run_view.h"
#include "runtime/clock.h"

#include <windows.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quvo::app {

class DriveListFiller;

// Control i of the layout table is the child window with this id. Clear of IDOK and
// IDCANCEL, which Enter and Escape send.
inline constexpr int kFirstControlId = 1000;
constexpr int controlIdOf(std::size_t tableIndex)
{
    return kFirstControlId + static_cast<int>(tableIndex);
}

// The window class of frmDriveSpeed, and of its rules, bar frames and bar fills.
inline constexpr const wchar_t* kWindowClass = L"frmDriveSpeed";
inline constexpr const wchar_t* kRuleClass = L"QuvoRule";
inline constexpr const wchar_t* kBarFrameClass = L"QuvoBarFrame";
inline constexpr const wchar_t* kBarFillClass = L"QuvoBarFill";

inline constexpr COLORREF colourRef(Rgb colour)
{
    return RGB(colour.red, colour.green, colour.blue);
}
inline constexpr COLORREF kBarFillColour = colourRef(kBarFill);

// ShellExecuteA, in its order of arguments: what a click on the link calls. The shell's
// own in the program, a recorder in tests.
using ShellOpen = std::function<void(
    HWND owner, const char* operation, const char* file, const char* parameters, const char* directory, int show)>;
void shellExecuteA(
    HWND owner, const char* operation, const char* file, const char* parameters, const char* directory, int show);

class DriveSpeedWindow final : public bench::RunView {
public:
    // Posted by a DriveListFiller (its address in lParam) when the volumes have answered.
    static constexpr UINT kDrivesAnswered = WM_APP + 1;
    // Posted from the run's thread when it has tasks for this one.
    static constexpr UINT kRunTasks = WM_APP + 2;
    // The menu command of "复制结果" and of Ctrl+C.
    static constexpr int kCopyCommand = 100;

    // Created hidden, sized for the monitor it opens on; the clock times the
    // measurements, the drives fill Drive1.
    DriveSpeedWindow(const bench::DriveList& drives, runtime::Clock& clock, ShellOpen shellOpen = shellExecuteA);
    ~DriveSpeedWindow() override;
    DriveSpeedWindow(const DriveSpeedWindow&) = delete;
    DriveSpeedWindow& operator=(const DriveSpeedWindow&) = delete;

    // Null once the window is closed.
    HWND handle() const { return window_.get(); }
    int dpi() const { return dpi_; }
    void show(int showCommand);

    // The keys the window answers before any control: Ctrl+C, and Tab, Enter and Escape
    // as a dialog takes them. True when msg was used up. Every loop that pumps the
    // window's messages asks this first.
    bool translateKeys(MSG& msg);

    // Replaces Drive1's entries, keeping the entry the user chose where it is still
    // offered.
    void offerDrives(const bench::DriveList& drives);

    std::string driveText() override;
    void setStatusText(std::string_view text) override;
    void setBarWidth(int row, float twips) override;
    void setResultText(int row, std::string_view text) override;
    // The result's tooltip says how its figure met the device.
    void rowChanged(int row) override;
    // Every message that waits, the client area's input among them.
    void pumpEvents() override;
    const runtime::StopFlag& stopFlag() override { return run_.stopFlag(); }

    // The last run as plain text, to the clipboard: Ctrl+C, or "复制结果" in the result
    // area's context menu.
    void copyResults();
    // The run in progress, as far as the window shows it, or the last.
    const bench::RunRecord& lastRun() const { return run_.lastRun(); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void createControls(const bench::DriveList& drives);
    void keep(const ControlSpec& spec, HWND control);
    void layOut();
    void sizeClientArea();
    void fitDriveList(int height);
    void placeFill(int row);
    void updateStatusTip();
    void setTip(HWND control, const std::wstring& text);

    void onCommand(int id, int code);
    LRESULT onControlColour(HDC dc, HWND control);
    bool onSetCursor(HWND over, int hitTest);
    void onActivate(bool active, bool minimised);
    void onContextMenu(POINT screen);
    void onDpiChanged(int dpi, const RECT& suggested);
    void onClose();
    LRESULT onQueryEndSession(LPARAM reasons);
    void onDrivesAnswered(DriveListFiller& filler);

    void checkSpeed();
    void waitForRun();
    void handleSystemMessages();
    // A message taken during a run, at a pump or between them: a quit stops the run and
    // comes again once the window has closed; anything else is handled as usual.
    void handleDuringRun(MSG& msg);
    void openMakerSite();

    // After a run, what its status text leaves unsaid: in the status line's tooltip.
    void showRunNote();
    // Asked to close or to end the session during a run: once the run has stopped, the
    // window goes.
    bool stopping() const { return closeRequested_ || sessionEnding_; }

    ShellOpen shellOpen_;
    bench::RunThread run_;
    bool closeRequested_ = false;
    bool sessionEnding_ = false;
    int quitCode_ = 0;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::array<float, bench::kRowCount> barTwips_{};

    UniqueFont windowFont_;
    UniqueFont resultFont_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueAccelerators accelerators_;

    // Children and owned windows of window_, which go with it; the controls kept by
    // their place in the table.
    std::array<HWND, kControlCount> controls_{};
    HWND drive1_ = nullptr;
    HWND cmdCheckSpeed_ = nullptr;
    HWND lblStatus_ = nullptr;
    HWND label30_ = nullptr;
    std::array<HWND, bench::kRowCount> lblStatusBar_{};
    std::array<HWND, bench::kRowCount> pctStatusBar_{};
    std::array<HWND, bench::kRowCount> pctStatusBarDetail_{};
    HWND statusTip_ = nullptr;
    // The last run's note for the status line's tooltip (bench/wording.h's link note).
    std::wstring runNote_;
    // The control that had the focus when the window was last active.
    HWND focus_ = nullptr;

    // Last: destroyed first, while everything its messages reach is still there.
    UniqueWindow window_;
};

// Runs the window's messages until it is closed: the program's exit status.
int runMessageLoop(DriveSpeedWindow& window);

} // namespace quvo::app
