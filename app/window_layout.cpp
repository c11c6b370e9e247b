// SPDX-License-Identifier: MIT
#include "app/window_layout.h"

#include "bench/result_rows.h"

#include <algorithm>
#include <cmath>

namespace quvo::app {
namespace {

constexpr auto L = ControlKind::Label;
constexpr auto Link = ControlKind::LinkLabel;
constexpr auto Drive = ControlKind::DriveList;
constexpr auto Cmd = ControlKind::Button;
constexpr auto Rule = ControlKind::Line;
constexpr auto Frame = ControlKind::BarFrame;
constexpr auto Fill = ControlKind::BarFill;
constexpr auto Win = TextFont::Window;
constexpr auto Res = TextFont::Result;
constexpr auto Left = Align::Left;
constexpr auto Centre = Align::Centre;
constexpr auto Text = Colour::ButtonText;
constexpr auto Blue = Colour::Blue;
constexpr auto Ink = Colour::WindowText;
constexpr auto White = Colour::WindowBackground;
constexpr auto Bar = Colour::BarFill;
constexpr int No = kNoIndex;
constexpr int NoTab = kNoTab;

} // namespace

// clang-format off
constexpr std::array<ControlSpec, kControlCount> kControls = {{
    // Top strip, rules, status line and footer.
    // name            index kind   Left   Top  Width Height caption                      font align   colour tab
    {"Label1",           No, L,       60,   120, 1440,  180, "请选择本地磁盘：",            Win, Left,   Text,  NoTab},
    {"Drive1",           No, Drive, 1800,    60, 3135,  300, "",                            Win, Left,   Text,  0},
    {"cmdCheckSpeed",    No, Cmd,   5040,    60, 1125,  315, "测试",                        Win, Centre, Text,  1},
    {"Line1",            No, Rule,     0,   420, 7800,    0, "",                            Win, Left,   Ink,   NoTab},
    {"lblStatus",        No, L,       30,   480, 7725,  255, kInitialStatus,                Win, Centre, Text,  NoTab},
    {"Line2",            No, Rule,     0,   780, 7800,    0, "",                            Win, Left,   Ink,   NoTab},
    {"Label2",           No, L,     4200,  4560,  975,  255, "Quvo博客:",                   Win, Left,   Blue,  NoTab},
    {"Label30",          No, Link,  5160,  4560, 2295,  255, kMakerSite,                    Win, Left,   Blue,  NoTab},

    // Row 0, left: small file write.
    {"Label3",           No, L,       60,   870, 1890,  180, "小文件写入速度 (1MB):",       Win, Left,   Text,  NoTab},
    {"Label5",           No, L,       60,  1110,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label6",           No, L,     3060,  1110,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      0, L,      765,  1110, 2220,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      0, Frame,   30,  1320, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",0, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 1, right: small file read.
    {"Label4",           No, L,     4050,   870, 1890,  180, "小文件只读速度 (1MB):",       Win, Left,   Text,  NoTab},
    {"Label7",           No, L,     4050,  1110,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label8",           No, L,     7020,  1110,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      1, L,     4770,  1110, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      1, Frame, 4020,  1320, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",1, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 2, left: large file write.
    {"Label9",           No, L,       60,  1680, 2070,  180, "大文件写入速度 (10 MB):",     Win, Left,   Text,  NoTab},
    {"Label10",          No, L,       60,  1920,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label11",          No, L,     3030,  1920,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      2, L,      780,  1920, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      2, Frame,   30,  2130, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",2, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 3, right: large file read.
    {"Label12",          No, L,     4050,  1680, 2070,  180, "大文件只读速度 (10 MB):",     Win, Left,   Text,  NoTab},
    {"Label13",          No, L,     4050,  1920,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label14",          No, L,     7020,  1920,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      3, L,     4770,  1920, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      3, Frame, 4020,  2130, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",3, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 4, left: sustained write; a longer bar is faster.
    {"Label15",          No, L,       60,  2490, 2250,  180, "磁盘全部写入速度 (KB/秒):",   Win, Left,   Text,  NoTab},
    {"Label16",          No, L,       60,  2730,  540,  180, "<-- 慢",                      Win, Left,   Text,  NoTab},
    {"Label17",          No, L,     3030,  2730,  540,  180, "快 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      4, L,      840,  2730, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      4, Frame,   30,  2940, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",4, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 5, right: read-back; a longer bar is faster.
    {"Label18",          No, L,     4050,  2490, 2250,  180, "磁盘全部只读速度 (KB/秒):",   Win, Left,   Text,  NoTab},
    {"Label19",          No, L,     4050,  2730,  540,  180, "<-- 慢",                      Win, Left,   Text,  NoTab},
    {"Label20",          No, L,     7020,  2730,  540,  180, "快 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      5, L,     4830,  2730, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      5, Frame, 4020,  2940, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",5, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 6, left: file lookup.
    {"Label23",          No, L,       60,  3300, 2430,  180, "文件查找速度 (10000个文件):", Win, Left,   Text,  NoTab},
    {"Label28",          No, L,       60,  3540,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label22",          No, L,     3030,  3540,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      6, L,      780,  3540, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      6, Frame,   30,  3750, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",6, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 7, right: file copy.
    {"Label21",          No, L,     4050,  3300, 1890,  180, "文件复制速度 (10 MB):",       Win, Left,   Text,  NoTab},
    {"Label24",          No, L,     4050,  3540,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label25",          No, L,     7020,  3540,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      7, L,     4770,  3540, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      7, Frame, 4020,  3750, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",7, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
    // Row 8, left: file delete.
    {"Label26",          No, L,       60,  4110, 1890,  180, "文件删除速度 (20 MB):",       Win, Left,   Text,  NoTab},
    {"Label29",          No, L,       60,  4350,  540,  180, "<-- 快",                      Win, Left,   Text,  NoTab},
    {"Label27",          No, L,     3030,  4350,  540,  180, "慢 -->",                      Win, Left,   Text,  NoTab},
    {"lblStatusBar",      8, L,      780,  4350, 2190,  195, "",                            Res, Centre, Text,  NoTab},
    {"pctStatusBar",      8, Frame,   30,  4560, 3735,  285, "",                            Win, Left,   White, NoTab},
    {"pctStatusBarDetail",8, Fill,     0,     0,   15,  255, "",                            Win, Left,   Bar,   NoTab},
}};
// clang-format on

namespace {

constexpr bool onPixelGrid(const ControlSpec& c)
{
    return c.left % kTwipsPerPixel == 0 && c.top % kTwipsPerPixel == 0 && c.width % kTwipsPerPixel == 0
        && c.height % kTwipsPerPixel == 0;
}

constexpr int countOf(std::string_view name, int index, ControlKind kind)
{
    return static_cast<int>(std::count_if(kControls.begin(), kControls.end(),
        [&](const ControlSpec& c) { return c.name == name && c.index == index && c.kind == kind; }));
}

// Every control the window keeps is in the table once, of the kind it is kept as.
constexpr bool keptControlsAreThere()
{
    if (countOf(kStatusName, kNoIndex, ControlKind::Label) != 1
        || countOf("Drive1", kNoIndex, ControlKind::DriveList) != 1
        || countOf("cmdCheckSpeed", kNoIndex, ControlKind::Button) != 1)
        return false;
    for (int row = 0; row < bench::kRowCount; ++row)
        if (countOf(kResultName, row, ControlKind::Label) != 1 || countOf(kBarFillName, row, ControlKind::BarFill) != 1)
            return false;
    return true;
}

// The keyboard order's places run 0, 1, ... without a gap or a repeat.
constexpr bool tabPlacesAreAnOrder()
{
    int stops = 0;
    for (const ControlSpec& c : kControls)
        stops += c.tab != kNoTab ? 1 : 0;
    for (int place = 0; place < stops; ++place)
        if (std::count_if(kControls.begin(), kControls.end(), [&](const ControlSpec& c) { return c.tab == place; })
            != 1)
            return false;
    return stops > 0;
}

constexpr std::string_view captionOf(std::string_view name)
{
    for (const ControlSpec& c : kControls)
        if (c.name == name)
            return c.caption;
    return {};
}

// Every place and size is a whole number of pixels, so the one conversion is exact.
static_assert(std::all_of(kControls.begin(), kControls.end(), onPixelGrid));
static_assert(kClientWidthTwips % kTwipsPerPixel == 0 && kClientHeightTwips % kTwipsPerPixel == 0);
static_assert(
    std::all_of(kFonts.begin(), kFonts.end(), [](const FontSpec& f) { return f.sizeTwips % kTwipsPerPixel == 0; }));
// A fill's frame comes before it: the window builds the fill into the frame's interior.
static_assert(std::all_of(kControls.begin() + 1, kControls.end(),
    [](const ControlSpec& c) { return c.kind != ControlKind::BarFill || (&c)[-1].kind == ControlKind::BarFrame; }));
// The row captions are the engine's names for its measurements.
static_assert(captionOf("Label3") == bench::kRows[0].caption);
static_assert(captionOf("Label4") == bench::kRows[1].caption);
static_assert(captionOf("Label9") == bench::kRows[2].caption);
static_assert(captionOf("Label12") == bench::kRows[3].caption);
static_assert(captionOf("Label15") == bench::kRows[4].caption);
static_assert(captionOf("Label18") == bench::kRows[5].caption);
static_assert(captionOf("Label23") == bench::kRows[6].caption);
static_assert(captionOf("Label21") == bench::kRows[7].caption);
static_assert(captionOf("Label26") == bench::kRows[8].caption);
static_assert(keptControlsAreThere());
static_assert(countOf("Line2", kNoIndex, ControlKind::Line) == 1
    && std::find_if(kControls.begin(), kControls.end(), [](const ControlSpec& c) { return c.name == "Line2"; })->top
        == kResultAreaTopTwips);
static_assert(tabPlacesAreAnOrder());
// The table lists the focus-taking controls in their keyboard order, so a window that
// creates its controls in the table's order has its Tab order from that.
static_assert([] {
    int place = 0;
    for (const ControlSpec& c : kControls)
        if (c.tab != kNoTab && c.tab != place++)
            return false;
    return true;
}());
// Every frame's interior is the width a full-scale fill takes.
static_assert(kBarInteriorTwips == bench::kFullScaleTwips);
static_assert(std::all_of(kControls.begin(), kControls.end(), [](const ControlSpec& c) {
    return c.kind != ControlKind::BarFrame || c.width - 2 * kFrameBorderTwips == kBarInteriorTwips;
}));
// Its box holds 25 single-byte characters of the window font.
static_assert(kMakerSite.size() <= 25);

} // namespace

int barPixels(float twips, int interiorPixels)
{
    if (!(twips > 0))
        return 0;
    const double exact = static_cast<double>(twips) * interiorPixels / kBarInteriorTwips;
    return static_cast<int>(std::min(std::round(exact), static_cast<double>(kMaxBarPixels)));
}

PixelBox pixelBox(const ControlSpec& c, int dpi)
{
    const int left = pixels(c.left, dpi);
    const int top = pixels(c.top, dpi);
    if (c.kind == ControlKind::Line)
        return {left, top, pixels(c.left + c.width, dpi) - left, 1};
    return {left, top, pixels(c.left + c.width, dpi) - left, pixels(c.top + c.height, dpi) - top};
}

std::string controlName(const ControlSpec& control)
{
    std::string name(control.name);
    if (control.index != kNoIndex) {
        // Appended piece by piece: GCC 12 misreads "(" + ... + ")" as an overlapping copy.
        name += '(';
        name += std::to_string(control.index);
        name += ')';
    }
    return name;
}

} // namespace quvo::app
