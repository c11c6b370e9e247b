// SPDX-License-Identifier: MIT
#include "app/windows/drive_speed_window.h"

#include "app/windows/drive_list_filler.h"
#include "app/windows/resources.h"
#include "app/windows/text.h"
#include "bench/target.h"
#include "bench/wording.h"
#include "runtime/utf16.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <system_error>
#include <utility>

namespace quvo::app {
namespace {

// A title, a close box and a minimise box; no sizing border and no maximise box, since
// nothing in the layout follows a change of size.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Entries Drive1's list shows when it drops down.
constexpr int kDroppedEntries = 8;

HINSTANCE thisProgram()
{
    return ::GetModuleHandleW(nullptr);
}

[[noreturn]] void failed(const char* what)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

void registerWindowClasses(WNDPROC mainWindowProc)
{
    static const bool registered = [mainWindowProc] {
        // The system's controls from the common controls the manifest names (themed,
        // and the status line's tooltip).
        INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&common);

        WNDCLASSEXW main{};
        main.cbSize = sizeof main;
        main.lpfnWndProc = mainWindowProc;
        main.hInstance = thisProgram();
        main.hIcon = static_cast<HICON>(
            ::LoadImageW(thisProgram(), MAKEINTRESOURCEW(QUVO_ICON_ID), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        main.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
        main.lpszClassName = kWindowClass;
        if (::RegisterClassExW(&main) == 0)
            failed("RegisterClassExW(frmDriveSpeed)");

        // The rules, the bar frames and the fills do nothing but show their background;
        // the system frees a class's brush with the class.
        const struct {
            const wchar_t* name;
            HBRUSH background;
        } plain[] = {
            {kRuleClass, reinterpret_cast<HBRUSH>(COLOR_WINDOWTEXT + 1)},
            {kBarFrameClass, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)},
            {kBarFillClass, ::CreateSolidBrush(kBarFillColour)},
        };
        for (const auto& kind : plain) {
            WNDCLASSEXW plainClass{};
            plainClass.cbSize = sizeof plainClass;
            plainClass.lpfnWndProc = ::DefWindowProcW;
            plainClass.hInstance = thisProgram();
            plainClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
            plainClass.hbrBackground = kind.background;
            plainClass.lpszClassName = kind.name;
            if (::RegisterClassExW(&plainClass) == 0)
                failed("RegisterClassExW");
        }
        return true;
    }();
    (void)registered;
}

const wchar_t* classOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Label:
    case ControlKind::LinkLabel: return WC_STATICW;
    case ControlKind::DriveList: return WC_COMBOBOXW;
    case ControlKind::Button: return WC_BUTTONW;
    case ControlKind::Line: return kRuleClass;
    case ControlKind::BarFrame: return kBarFrameClass;
    case ControlKind::BarFill: return kBarFillClass;
    }
    return WC_STATICW;
}

DWORD styleOf(const ControlSpec& spec)
{
    switch (spec.kind) {
    case ControlKind::Label:
    case ControlKind::LinkLabel: {
        // One line in a box that never grows: what does not fit is cut off, a centred
        // text ending in "...". No "&" is a mnemonic.
        DWORD style = SS_NOPREFIX | (spec.align == Align::Centre ? SS_CENTER | SS_ENDELLIPSIS : SS_LEFTNOWORDWRAP);
        // A static control is transparent to the mouse unless it notifies: the link is
        // clicked, and the status line and the results show their tooltips.
        if (spec.kind == ControlKind::LinkLabel || spec.name == kStatusName || spec.name == kResultName)
            style |= SS_NOTIFY;
        return style;
    }
    case ControlKind::DriveList: return CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
    // A push button, never the default one: Enter starts nothing unless it has the focus.
    case ControlKind::Button: return BS_PUSHBUTTON | WS_TABSTOP;
    // A plain one-pixel border; the interior, the frame's client area, clips its fill.
    case ControlKind::BarFrame: return WS_BORDER | WS_CLIPCHILDREN;
    case ControlKind::Line:
    case ControlKind::BarFill: return 0;
    }
    return 0;
}

COLORREF colourOf(Colour colour)
{
    switch (colour) {
    case Colour::ButtonText: return ::GetSysColor(COLOR_BTNTEXT);
    case Colour::Blue: return colourRef(kBlue);
    case Colour::WindowText: return ::GetSysColor(COLOR_WINDOWTEXT);
    case Colour::WindowBackground: return ::GetSysColor(COLOR_WINDOW);
    case Colour::BarFill: return kBarFillColour;
    }
    return 0;
}

const ControlSpec& barFillSpec(int row)
{
    for (const ControlSpec& spec : kControls)
        if (spec.kind == ControlKind::BarFill && spec.index == row)
            return spec;
    throw std::logic_error("no bar fill for a row");
}

// A negative height asks for the characters' height, not the cell's with its leading.
UniqueFont makeFont(TextFont which, int dpi)
{
    const FontSpec& spec = fontSpec(which);
    LOGFONTW font{};
    font.lfHeight = -pixels(spec.sizeTwips, dpi);
    font.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = spec.chinese ? GB2312_CHARSET : DEFAULT_CHARSET;
    ::wcsncpy(font.lfFaceName, runtime::widen(spec.face).c_str(), LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&font));
}

UniqueIcon loadIcon(int sizeMetric, int dpi)
{
    const int size = ::GetSystemMetricsForDpi(sizeMetric, static_cast<UINT>(dpi));
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(thisProgram(), MAKEINTRESOURCEW(QUVO_ICON_ID), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

std::wstring windowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The user's decimal and grouping separators.
runtime::NumberSeparators userSeparators()
{
    const auto separator = [](LCTYPE type, const char* standard) {
        wchar_t text[8]{}; // the system keeps at most 4 characters
        return ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 8) > 1 ? runtime::narrow(text)
                                                                              : std::string(standard);
    };
    return {separator(LOCALE_SDECIMAL, "."), separator(LOCALE_STHOUSAND, ",")};
}

// A logoff or shutdown is told why it waits while this lives.
class ShutdownBlock {
public:
    ShutdownBlock(HWND window, const wchar_t* reason)
        : window_(window)
    {
        ::ShutdownBlockReasonCreate(window_, reason);
    }
    ~ShutdownBlock() { ::ShutdownBlockReasonDestroy(window_); }
    ShutdownBlock(const ShutdownBlock&) = delete;
    ShutdownBlock& operator=(const ShutdownBlock&) = delete;

private:
    HWND window_;
};

// Another program may hold the clipboard for a moment; then the text waits a little.
bool putOnClipboard(HWND owner, std::wstring_view text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory)
        return false;
    auto* copy = static_cast<wchar_t*>(::GlobalLock(memory.get()));
    if (copy == nullptr)
        return false;
    std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
    copy[text.size()] = L'\0';
    ::GlobalUnlock(memory.get());

    constexpr int kAttempts = 20;
    constexpr DWORD kPauseMs = 10;
    bool open = false;
    for (int attempt = 0; attempt < kAttempts && !open; ++attempt)
        if (!(open = ::OpenClipboard(owner) != 0))
            ::Sleep(kPauseMs);
    if (!open)
        return false;
    const bool put = ::EmptyClipboard() && ::SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr;
    ::CloseClipboard();
    if (put)
        memory.release(); // the clipboard's now
    return put;
}

} // namespace

void shellExecuteA(
    HWND owner, const char* operation, const char* file, const char* parameters, const char* directory, int show)
{
    ::ShellExecuteA(owner, operation, file, parameters, directory, show);
}

DriveSpeedWindow::DriveSpeedWindow(const bench::DriveList& drives, runtime::Clock& clock, ShellOpen shellOpen)
    : shellOpen_(std::move(shellOpen))
    , run_(*this, clock, userSeparators(), [this] { ::PostMessageW(handle(), kRunTasks, 0, 0); })
{
    barTwips_.fill(bench::kResetTwips);
    registerWindowClasses(windowProc);
    if (::CreateWindowExW(0, kWindowClass, runtime::widen(kWindowTitle).c_str(), kWindowStyle, CW_USEDEFAULT,
            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, thisProgram(), this)
        == nullptr)
        failed("CreateWindowExW(frmDriveSpeed)");
    // The monitor it opens on decides its size.
    dpi_ = static_cast<int>(::GetDpiForWindow(handle()));
    createControls(drives);

    statusTip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle(), nullptr, thisProgram(), nullptr);
    ACCEL copy{FCONTROL | FVIRTKEY, 'C', kCopyCommand};
    accelerators_.reset(::CreateAcceleratorTableW(&copy, 1));
    layOut();
}

DriveSpeedWindow::~DriveSpeedWindow()
{
    run_.stopAndWait();
    window_.reset();
}

void DriveSpeedWindow::show(int showCommand)
{
    ::ShowWindow(handle(), showCommand);
    ::UpdateWindow(handle());
}

// Builds every control of the table in its order, which is also the keyboard's, and
// keeps the ones the run and the user reach.
void DriveSpeedWindow::createControls(const bench::DriveList& drives)
{
    HWND frame = nullptr; // built last, holding the next fill
    for (std::size_t at = 0; at < kControls.size(); ++at) {
        const ControlSpec& spec = kControls[at];
        const HWND parent = spec.kind == ControlKind::BarFill ? frame : handle();
        const HWND control = ::CreateWindowExW(0, classOf(spec.kind), runtime::widen(spec.caption).c_str(),
            WS_CHILD | WS_VISIBLE | styleOf(spec), 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlIdOf(at))), thisProgram(), nullptr);
        if (control == nullptr)
            failed("CreateWindowExW");
        if (spec.kind == ControlKind::BarFrame)
            frame = control;
        controls_[at] = control;
        keep(spec, control);
    }
    for (const std::string& entry : drives.entries)
        ::SendMessageW(drive1_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(runtime::widen(entry).c_str()));
    ::SendMessageW(drive1_, CB_SETCURSEL, static_cast<WPARAM>(drives.selected), 0);
    ::SendMessageW(drive1_, CB_SETMINVISIBLE, kDroppedEntries, 0);
    focus_ = drive1_;
}

// The controls the run and the user reach, found by what the table names them (each
// of which it holds once: window_layout.cpp checks that as it compiles).
void DriveSpeedWindow::keep(const ControlSpec& spec, HWND control)
{
    const auto row = static_cast<std::size_t>(spec.index);
    switch (spec.kind) {
    case ControlKind::DriveList: drive1_ = control; break;
    case ControlKind::Button: cmdCheckSpeed_ = control; break;
    case ControlKind::LinkLabel: label30_ = control; break;
    case ControlKind::BarFrame: pctStatusBar_.at(row) = control; break;
    case ControlKind::BarFill: pctStatusBarDetail_.at(row) = control; break;
    case ControlKind::Label:
        if (spec.name == kStatusName)
            lblStatus_ = control;
        else if (spec.name == kResultName)
            lblStatusBar_.at(row) = control;
        break;
    case ControlKind::Line: break;
    }
}

// Places every control at the window's dpi, with its fonts and icons, and makes the
// client area 7635 × 4890 twips, whatever the frame around it.
void DriveSpeedWindow::layOut()
{
    // The fonts and icons of the dpi before are freed once nothing uses them any more.
    UniqueFont windowFont = makeFont(TextFont::Window, dpi_);
    UniqueFont resultFont = makeFont(TextFont::Result, dpi_);
    for (std::size_t at = 0; at < kControls.size(); ++at) {
        const ControlSpec& spec = kControls[at];
        if (spec.kind == ControlKind::BarFill)
            continue; // sized to their frames' interiors below
        const PixelBox box = pixelBox(spec, dpi_);
        ::SetWindowPos(controls_[at], nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (spec.kind == ControlKind::Line || spec.kind == ControlKind::BarFrame)
            continue;
        const HFONT font = spec.font == TextFont::Result ? resultFont.get() : windowFont.get();
        ::SendMessageW(controls_[at], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (spec.kind == ControlKind::DriveList)
            fitDriveList(box.height);
    }
    windowFont_ = std::move(windowFont);
    resultFont_ = std::move(resultFont);
    for (int row = 0; row < bench::kRowCount; ++row)
        placeFill(row);

    UniqueIcon big = loadIcon(SM_CXICON, dpi_);
    UniqueIcon small = loadIcon(SM_CXSMICON, dpi_);
    ::SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    ::SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);

    RECT status{};
    ::GetClientRect(lblStatus_, &status);
    ::SendMessageW(statusTip_, TTM_SETMAXTIPWIDTH, 0, status.right);
    updateStatusTip();

    sizeClientArea();
}

// The frame as the system computes it for the dpi, then measured: where the frame drawn
// differs from the one computed (a system that has not moved the window to the new dpi
// yet), the difference is made up.
void DriveSpeedWindow::sizeClientArea()
{
    const SIZE client{pixels(kClientWidthTwips, dpi_), pixels(kClientHeightTwips, dpi_)};
    RECT frame{0, 0, client.cx, client.cy};
    ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi_));
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    for (int attempt = 0; attempt < 2; ++attempt) {
        ::SetWindowPos(handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT drawn{};
        ::GetClientRect(handle(), &drawn);
        if (drawn.right == client.cx && drawn.bottom == client.cy)
            break;
        size.cx += client.cx - drawn.right;
        size.cy += client.cy - drawn.bottom;
    }
}

// A drop-down list is as high as its selection field, which follows its font (the
// list that drops from it holds kDroppedEntries entries): the field's item height is
// changed by what the field lacks or has too much, measured again after each change,
// since how the field's borders add up differs between systems.
void DriveSpeedWindow::fitDriveList(int height)
{
    auto item = static_cast<int>(::SendMessageW(drive1_, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT field{};
        ::GetWindowRect(drive1_, &field);
        const int missing = height - (field.bottom - field.top);
        if (missing == 0)
            break;
        item += missing;
        ::SendMessageW(drive1_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
    }
}

// A fill is measured against its frame's interior, which it covers at full scale.
void DriveSpeedWindow::placeFill(int row)
{
    const auto at = static_cast<std::size_t>(row);
    RECT interior{};
    ::GetClientRect(pctStatusBar_.at(at), &interior);
    const PixelBox box = pixelBox(barFillSpec(row), dpi_);
    ::SetWindowPos(pctStatusBarDetail_.at(at), nullptr, box.left, box.top, barPixels(barTwips_.at(at), interior.right),
        interior.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The status line's box never grows: a text it cannot hold whole is there in full as
// its tooltip.
void DriveSpeedWindow::updateStatusTip()
{
    const std::wstring text = windowText(lblStatus_);
    RECT box{};
    ::GetClientRect(lblStatus_, &box);
    SIZE extent{};
    {
        const WindowDc dc(lblStatus_, windowFont_.get());
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    std::wstring tip = extent.cx > box.right ? text : std::wstring();
    if (!runNote_.empty())
        tip += (tip.empty() ? L"" : L"\r\n") + runNote_;
    setTip(lblStatus_, tip);
}

// The control's tooltip; none for the empty text.
void DriveSpeedWindow::setTip(HWND control, const std::wstring& text)
{
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = handle();
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    ::SendMessageW(statusTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (text.empty())
        return;
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void DriveSpeedWindow::offerDrives(const bench::DriveList& drives)
{
    // Entries name their directory by the designation; their free space may differ.
    const std::string chosen = bench::targetPrefix(driveText());
    int selected = drives.selected;
    ::SendMessageW(drive1_, CB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < drives.entries.size(); ++i) {
        if (!chosen.empty() && bench::targetPrefix(drives.entries[i]) == chosen)
            selected = static_cast<int>(i);
        ::SendMessageW(drive1_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(runtime::widen(drives.entries[i]).c_str()));
    }
    ::SendMessageW(drive1_, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

std::string DriveSpeedWindow::driveText()
{
    const auto selected = ::SendMessageW(drive1_, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return {};
    const auto length = ::SendMessageW(drive1_, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(drive1_, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()))));
    return runtime::narrow(text);
}

void DriveSpeedWindow::setStatusText(std::string_view text)
{
    ::SetWindowTextW(lblStatus_, runtime::widen(text).c_str());
    updateStatusTip();
}

void DriveSpeedWindow::setBarWidth(int row, float twips)
{
    barTwips_.at(static_cast<std::size_t>(row)) = twips;
    placeFill(row);
}

void DriveSpeedWindow::setResultText(int row, std::string_view text)
{
    const HWND label = lblStatusBar_.at(static_cast<std::size_t>(row));
    ::SetWindowTextW(label, runtime::widen(text).c_str());
    // A row reset for a new run no longer has a figure to explain.
    if (text.empty())
        setTip(label, {});
}

void DriveSpeedWindow::rowChanged(int row)
{
    const bench::RowRecord& record = run_.lastRun().rows()[static_cast<std::size_t>(row)];
    setTip(lblStatusBar_.at(static_cast<std::size_t>(row)), runtime::widen(bench::pathTip(row, record)));
}

void DriveSpeedWindow::pumpEvents()
{
    MSG msg{};
    // Once a stop is asked for, messages wait for the main loop: the end of a session is
    // then answered after the run has removed its files.
    while (!stopping() && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        handleDuringRun(msg);
}

void DriveSpeedWindow::handleDuringRun(MSG& msg)
{
    if (msg.message == WM_QUIT) {
        // The program is to end: the run stops first, and the quit comes again when the
        // window has closed.
        quitCode_ = static_cast<int>(msg.wParam);
        closeRequested_ = true;
        run_.stop();
        return;
    }
    if (!translateKeys(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool DriveSpeedWindow::translateKeys(MSG& msg)
{
    const HWND window = handle();
    return window != nullptr
        && (::TranslateAcceleratorW(window, accelerators_.get(), &msg) != 0 || ::IsDialogMessageW(window, &msg) != 0);
}

void DriveSpeedWindow::copyResults()
{
    if (!putOnClipboard(handle(), runtime::widen(withWindowsLineEnds(bench::plainTextReport(run_.lastRun())))))
        ::MessageBeep(MB_ICONWARNING);
}

void DriveSpeedWindow::checkSpeed()
{
    // A click during a run reaches here from one of its pumps and is ignored.
    if (run_.running())
        return;
    runNote_.clear();
    {
        const ShutdownBlock block(handle(), runtime::widen(bench::kRunBlocksShutdownText).c_str());
        run_.start();
        waitForRun();
    }
    showRunNote();
    // Closed, or the session ends: the run has stopped and removed its files.
    if (stopping())
        ::DestroyWindow(handle());
}

// The run measures on its own thread while this one answers the system. It wakes for
// what is sent or posted to it and for paints, and looks for the frame's clicks and the
// Alt keys a few times a second, since waking for input would wake it for the client
// area's input too, which stays queued.
void DriveSpeedWindow::waitForRun()
{
    constexpr DWORD kInputLookMs = 50;
    while (run_.running()) {
        ::MsgWaitForMultipleObjectsEx(
            0, nullptr, kInputLookMs, QS_SENDMESSAGE | QS_POSTMESSAGE | QS_PAINT | QS_TIMER | QS_HOTKEY, 0);
        handleSystemMessages();
    }
}

// Every message but the client area's keys and mouse, which wait for the run's next
// pump. The frame's mouse (WM_NCLBUTTONDOWN and the like, its close box among them) and
// the Alt keys (WM_SYSKEYDOWN and the like, Alt+F4 among them) are the system's, and
// are handled: the ranges leave out only WM_KEYDOWN to WM_DEADCHAR and WM_UNICHAR, and
// WM_MOUSEFIRST to WM_MOUSELAST.
void DriveSpeedWindow::handleSystemMessages()
{
    constexpr struct {
        UINT first;
        UINT last;
    } kRanges[] = {
        {0, WM_KEYFIRST - 1},
        {WM_SYSKEYDOWN, WM_SYSDEADCHAR},
        {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
        {WM_MOUSELAST + 1, 0xFFFF'FFFF},
    };
    MSG msg{};
    for (const auto& range : kRanges)
        while (::PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE))
            handleDuringRun(msg);
}

void DriveSpeedWindow::showRunNote()
{
    std::string note;
    for (const std::string& line : bench::runNotes(run_.lastRun()))
        note += (note.empty() ? "" : "\r\n") + line;
    runNote_ = runtime::widen(note);
    updateStatusTip();
}

void DriveSpeedWindow::openMakerSite()
{
    // Eight-bit texts in the system's code page, as ShellExecuteA takes them; the result
    // is not looked at, and nothing shows when nothing can open the address.
    const std::string address = systemCodePage(std::string(kMakerSite) + "/");
    shellOpen_(handle(), "open", address.c_str(), "", "", SW_SHOWNOACTIVATE);
}

LRESULT CALLBACK DriveSpeedWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<DriveSpeedWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    auto* self = reinterpret_cast<DriveSpeedWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT DriveSpeedWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: onCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CTLCOLORSTATIC: return onControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (onSetCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam)))
            return TRUE;
        break;
    case WM_ACTIVATE: onActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0); return 0;
    case WM_SETFOCUS:
        if (focus_ != nullptr)
            ::SetFocus(focus_);
        return 0;
    case WM_CONTEXTMENU: onContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_DPICHANGED: onDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE: onClose(); return 0;
    case WM_QUERYENDSESSION: return onQueryEndSession(lParam);
    case WM_ENDSESSION:
        // The session ends once this is answered: the run stops first and removes its
        // files.
        if (wParam != FALSE && run_.running()) {
            sessionEnding_ = true;
            run_.stopAndWait();
        }
        return 0;
    case WM_DESTROY: ::PostQuitMessage(quitCode_); return 0;
    case kDrivesAnswered: onDrivesAnswered(*reinterpret_cast<DriveListFiller*>(lParam)); return 0;
    case kRunTasks: run_.runTasks(); return 0;
    default: break;
    }
    return ::DefWindowProcW(handle(), message, wParam, lParam);
}

void DriveSpeedWindow::onCommand(int id, int code)
{
    if (id == kCopyCommand) {
        copyResults();
    } else if (id == IDOK) {
        // Enter, as a dialog sends it: it presses the button that has the focus, and
        // nothing else.
        if (::GetFocus() == cmdCheckSpeed_)
            checkSpeed();
    } else if (code == BN_CLICKED && id == ::GetDlgCtrlID(cmdCheckSpeed_)) {
        checkSpeed();
    } else if (code == STN_CLICKED && id == ::GetDlgCtrlID(label30_)) {
        openMakerSite();
    }
}

// Every label on the window's face colour, in its own text colour.
LRESULT DriveSpeedWindow::onControlColour(HDC dc, HWND control)
{
    const int at = ::GetDlgCtrlID(control) - kFirstControlId;
    if (at < 0 || at >= kControlCount)
        return ::DefWindowProcW(
            handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    ::SetTextColor(dc, colourOf(kControls[static_cast<std::size_t>(at)].colour));
    ::SetBkColor(dc, ::GetSysColor(COLOR_3DFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_3DFACE));
}

bool DriveSpeedWindow::onSetCursor(HWND over, int hitTest)
{
    if (over != label30_ || hitTest != HTCLIENT)
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// The focus goes back where it was when the window is activated again; at first that
// is Drive1.
void DriveSpeedWindow::onActivate(bool active, bool minimised)
{
    if (!active) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(handle(), focus))
            focus_ = focus;
    } else if (!minimised) {
        ::SetFocus(focus_);
    }
}

// "复制结果" below the second rule, where the rows are; from the keyboard (Shift+F10 or
// the menu key) at the rows' top left corner.
void DriveSpeedWindow::onContextMenu(POINT screen)
{
    const int rowsTop = pixels(kResultAreaTopTwips, dpi_);
    if (screen.x == -1 && screen.y == -1) {
        screen = {0, rowsTop};
        ::ClientToScreen(handle(), &screen);
    } else {
        POINT client = screen;
        ::ScreenToClient(handle(), &client);
        if (client.y < rowsTop)
            return;
    }
    const UniqueMenu menu(::CreatePopupMenu());
    ::AppendMenuW(menu.get(), MF_STRING, kCopyCommand, runtime::widen(bench::kCopyResultsText).c_str());
    const BOOL chosen
        = ::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, handle(), nullptr);
    if (chosen == kCopyCommand)
        copyResults();
}

// Laid out again at the new dpi, where the system suggests.
void DriveSpeedWindow::onDpiChanged(int dpi, const RECT& suggested)
{
    dpi_ = dpi;
    layOut();
    ::SetWindowPos(handle(), nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DriveSpeedWindow::onClose()
{
    // During a run the close waits: the run stops within its block, removes its files,
    // and the window closes then.
    if (run_.running()) {
        closeRequested_ = true;
        run_.stop();
        return;
    }
    ::DestroyWindow(handle());
}

// During a run the session waits until the run has stopped and removed its files and
// the window has closed; Windows shows why meanwhile. A session that cannot wait
// (ENDSESSION_CRITICAL) is let go at once, and the run stops all the same.
LRESULT DriveSpeedWindow::onQueryEndSession(LPARAM reasons)
{
    if (!run_.running())
        return TRUE;
    sessionEnding_ = true;
    run_.stop();
    return (reasons & ENDSESSION_CRITICAL) != 0 ? TRUE : FALSE;
}

void DriveSpeedWindow::onDrivesAnswered(DriveListFiller& filler)
{
    offerDrives(filler.answer());
}

int runMessageLoop(DriveSpeedWindow& window)
{
    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!window.translateKeys(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

} // namespace quvo::app
