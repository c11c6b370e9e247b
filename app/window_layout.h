// SPDX-License-Identifier: MIT
// The main window's 62 controls, placed in twips, and their two fonts, with the one
// conversion to pixels.
// Toolkit-free: the Qt window and the Win32 window both build themselves from it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace quvo::app {

// Twips: 1/1440 inch, 15 per pixel at 96 dpi. The Qt window draws in its
// device-independent pixels (96 to the inch), so at 150 % or 200 % it scales as a
// whole; the Win32 window lays out at its monitor's dpi (10 twips a pixel at 144).
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kStandardDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kStandardDpi;

// The nearest whole pixel at dpi, halves away from zero (as Windows' MulDiv rounds).
// Every place and size of the table is a whole pixel at 96 dpi, so there it is exact.
constexpr int pixels(int twips, int dpi = kStandardDpi)
{
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long half = scaled < 0 ? -kTwipsPerInch / 2 : kTwipsPerInch / 2;
    return static_cast<int>((scaled + half) / kTwipsPerInch);
}

inline constexpr int kClientWidthTwips = 7635;
inline constexpr int kClientHeightTwips = 4890;

// A bar frame's one-pixel border on each side; the interior holds the fill. The border
// stays one pixel at any dpi, and the interior, 3705 twips wide, takes what is left.
inline constexpr int kFrameBorderTwips = 15;
inline constexpr int kBarInteriorTwips = 3705;

// The widest bar fill either window makes, in pixels: Win32 carries a window's size in
// 16-bit message fields.
inline constexpr int kMaxBarPixels = 32'767;

// A bar fill's width in pixels, in an interior interiorPixels wide: the nearest whole
// pixel of its share of the interior's twips, so that a full-scale fill covers the
// interior exactly at any dpi (at 96 dpi, 247 pixels: 15 twips a pixel). None for a
// width below 0 (a measurement that went backwards) or not a number. A fill wider than
// its frame is cut off by the frame, not here.
int barPixels(float twips, int interiorPixels = pixels(kBarInteriorTwips));

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
    Line,     // from X1 = Left, Y1 = Top to X2 = Left + Width, Y2 = Top + Height
    BarFrame, // one-pixel plain border around an interior that clips its fill
    BarFill,  // placed from the top-left corner of its frame's interior
};

enum class TextFont {
    Window,
    Result, // the result labels
};

// A font as both windows ask for it. Its size is the characters' height (the em, without
// the line's leading) in twips, 20 to the point, and a whole pixel at 96 dpi.
struct FontSpec {
    std::string_view face;    // as Windows names it
    std::string_view alias;   // the face's other name, or none
    std::string_view standIn; // a free font with the face's cell and metrics, for where the face is missing
    int sizeTwips;
    bool bold;
    bool chinese; // GB2312's characters: Windows matches the face within that character set
};

// In TextFont's order. "宋体" 9 pt has the 6 × 12 pixel cell (12 wide for a Chinese
// character) that the text-sized boxes are measured in; "MS Sans Serif" 8.25 pt is 11
// pixels high.
// clang-format off
inline constexpr std::array<FontSpec, 2> kFonts = {{
    // face           alias     stand-in          size  bold   chinese
    {"宋体",          "SimSun", "AR PL UMing CN",  180, false, true},
    {"MS Sans Serif", "",       "Liberation Sans", 165, true,  false},
}};
// clang-format on

constexpr const FontSpec& fontSpec(TextFont font)
{
    return kFonts[static_cast<std::size_t>(font)];
}

enum class Align { Left, Centre };

// A label's text colour, a line's colour, a picture box's background.
enum class Colour {
    ButtonText,
    Blue, // kBlue
    WindowText,
    WindowBackground, // a bar frame's interior, white in the standard scheme
    BarFill,          // kBarFill
};

// The two colours that are the window's own rather than the system's.
struct Rgb {
    int red;
    int green;
    int blue;
};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kBarFill{90, 136, 169};

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

// In the layout's order: the top strip, rules, status line and footer, then the
// nine result rows, each as caption, left and right legend, result label, bar frame
// and bar fill.
extern const std::array<ControlSpec, kControlCount> kControls;

// The name a control is found under: "Label1", or "lblStatusBar(3)" for an element.
std::string controlName(const ControlSpec& control);

// A control's box in pixels at dpi. Converted edge by edge, so that boxes that meet in
// twips meet in pixels; a line (both rules are level) is one pixel high.
struct PixelBox {
    int left;
    int top;
    int width;
    int height;
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};
PixelBox pixelBox(const ControlSpec& control, int dpi = kStandardDpi);

} // namespace quvo::app
