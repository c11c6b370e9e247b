// SPDX-License-Identifier: MIT
// The main window's 62 controls as the design places them, in twips, with the one
// conversion to pixels.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quvo::app {

// Twips: 1/1440 inch, 15 per pixel at 96 dpi. The layout is drawn in Qt's
// device-independent pixels, so at 150 % or 200 % it scales as a whole.
inline constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    return twips / kTwipsPerPixel;
}

// A bar fill's width in pixels: the nearest whole pixel; none for a width below 0 (a
// measurement that went backwards) or not a number. A fill wider than its frame is
// cut off by the frame, not here.
int barPixels(float twips);

inline constexpr int kClientWidthTwips = 7635;
inline constexpr int kClientHeightTwips = 4890;

// A bar frame's one-pixel border on each side; the interior holds the fill.
inline constexpr int kFrameBorderTwips = 15;

inline constexpr std::string_view kWindowName = "frmDriveSpeed";
inline constexpr std::string_view kWindowTitle = "Quvo磁盘速度测试";
inline constexpr std::string_view kInitialStatus = "测试本地磁盘数据仅供参考";
// The maker's site as Label30 shows it; a click opens it with a trailing "/".
inline constexpr std::string_view kMakerSite = "http://www.quvo.example";

enum class ControlKind {
    Label,
    LinkLabel,
    DriveList,
    Button,
    Line,     // Left, Top, Width, Height hold X1, Y1, X2, Y2
    BarFrame, // one-pixel plain border around an interior that clips its fill
    BarFill,  // placed from the top-left corner of its frame's interior
};

enum class TextFont {
    Window, // "宋体" 9 pt: a 6 × 12 pixel cell
    Result, // "MS Sans Serif" 8.25 pt bold
};

enum class Align { Left, Centre };

// A label's text colour, a line's colour, a picture box's background.
enum class Colour {
    ButtonText,
    Blue, // red 0, green 0, blue 255
    WindowText,
    WindowBackground, // a bar frame's interior, white in the standard scheme
    BarFill,          // red 90, green 136, blue 169
};

inline constexpr int kNoIndex = -1;
inline constexpr int kNoTab = -1;

struct ControlSpec {
    std::string_view name;
    int index; // element of a control array (0 to 8), else kNoIndex
    ControlKind kind;
    int left;
    int top;
    int width;
    int height;
    std::string_view caption;
    TextFont font;
    Align align;
    Colour colour;
    int tab; // place in the keyboard order, for the two controls that take the focus
};

inline constexpr int kControlCount = 62;

// Where the result rows begin: the second rule (Line2).
inline constexpr int kResultAreaTopTwips = 780;

// The controls the run writes to: the status line, and each row's result and bar fill.
inline constexpr std::string_view kStatusName = "lblStatus";
inline constexpr std::string_view kResultName = "lblStatusBar";
inline constexpr std::string_view kBarFillName = "pctStatusBarDetail";

// In the design's order: the top strip, rules, status line and footer, then the
// nine result rows, each as caption, left and right legend, result label, bar frame
// and bar fill.
extern const std::array<ControlSpec, kControlCount> kControls;

// The name a control is found under: "Label1", or "lblStatusBar(3)" for an element.
std::string controlName(const ControlSpec& control);

} // namespace quvo::app
