// SPDX-License-Identifier: MIT
// The layout table that both windows build from, and its one rule from twips to pixels:
// at the standard 96 dpi and at the others a monitor may have, for controls and for bar
// fills; and the rows' bands as the table holds them, read from it rather than typed out.
#include "app/window_layout.h"
#include "bench/result_rows.h"

#include <gtest/gtest.h>

#include <limits>

namespace quvo::app {
namespace {

const ControlSpec& find(std::string_view name, int index = kNoIndex)
{
    for (const ControlSpec& spec : kControls)
        if (spec.name == name && spec.index == index)
            return spec;
    throw std::logic_error("no " + std::string(name) + " in the table");
}

TEST(Pixels, AtTheWindowsDpi)
{
    struct Case {
        const char* name;
        int twips;
        int dpi;
        int pixels;
    };
    const Case cases[] = {
        {"15 twips a pixel at 96 dpi", 15, 96, 1},
        {"client width at 96 dpi", kClientWidthTwips, 96, 509},
        {"client height at 96 dpi", kClientHeightTwips, 96, 326},
        {"10 twips a pixel at 144 dpi", 10, 144, 1},
        {"client height at 144 dpi", kClientHeightTwips, 144, 489},
        {"a half pixel rounds up", kClientWidthTwips, 144, 764},
        {"a quarter pixel rounds down", 3735, 120, 311},
        {"client width at 200 %", kClientWidthTwips, 192, 1018},
        {"negative halves round away from zero", -15, 144, -2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pixels(c.twips, c.dpi), c.pixels) << c.name;
}

TEST(Pixels, BarFills)
{
    struct Case {
        const char* name;
        float twips;
        int interior; // pixels
        int pixels;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"reset width is one pixel", 15, 247, 1},
        {"full scale is the interior", 3705, 247, 247},
        {"zero shows nothing", 0, 247, 0},
        {"below half a pixel rounds down", 7.4f, 247, 0},
        {"half a pixel rounds up", 7.5f, 247, 1},
        {"nearest pixel", 7410, 247, 494},
        {"full scale is the interior at 144 dpi", 3705, 372, 372},
        {"reset width at 144 dpi", 15, 372, 2},
        {"half way at 200 %", 1852.5f, 496, 248},
        {"negative shows nothing", -120, 247, 0},
        {"not a number shows nothing", nan, 247, 0},
        {"infinite stays within a window's sizes", inf, 247, kMaxBarPixels},
        {"largest float stays within a window's sizes", std::numeric_limits<float>::max(), 496, kMaxBarPixels},
    };
    for (const Case& c : cases)
        EXPECT_EQ(barPixels(c.twips, c.interior), c.pixels) << c.name;
    EXPECT_EQ(barPixels(3705), 247) << "the interior at 96 dpi by default";
}

TEST(Pixels, Boxes)
{
    // A rule runs from X1 to X2, one pixel high, past the client area's right edge.
    const ControlSpec& line1 = find("Line1");
    EXPECT_EQ(pixelBox(line1), (PixelBox{0, 28, 520, 1}));
    EXPECT_EQ(pixelBox(line1, 144), (PixelBox{0, 42, 780, 1}));
    const ControlSpec& frame = find("pctStatusBar", 0);
    EXPECT_EQ(pixelBox(frame), (PixelBox{2, 88, 249, 19}));
    EXPECT_EQ(pixelBox(frame, 144), (PixelBox{3, 132, 374, 29}));
}

TEST(Layout, RowsKeepTheirBands)
{
    // Rows 2b and 2b+1 share band b; the bands repeat every 810 twips. A row's caption
    // stands above its bar at the bar's left, its legends and result on the line
    // below, and its frame, 3735 × 285, under them; the left column's frames start at
    // 30, the right column's at 4020, reaching 120 twips past the client area.
    for (int row = 0; row < bench::kRowCount; ++row) {
        SCOPED_TRACE(row);
        const int band = row / 2;
        const bool right = row % 2 == 1;
        const ControlSpec& frame = find("pctStatusBar", row);
        EXPECT_EQ(frame.left, right ? 4020 : 30);
        EXPECT_EQ(frame.top, 1320 + 810 * band);
        EXPECT_EQ(frame.width, 3735);
        EXPECT_EQ(frame.height, 285);
        EXPECT_EQ(find("lblStatusBar", row).top, 1110 + 810 * band);
        const ControlSpec& fill = find("pctStatusBarDetail", row);
        EXPECT_EQ(fill.left, 0);
        EXPECT_EQ(fill.top, 0);
        EXPECT_EQ(fill.width, 15);
        EXPECT_EQ(fill.height, 255);
        int captions = 0;
        for (const ControlSpec& c : kControls) {
            if (c.kind != ControlKind::Label || c.index != kNoIndex
                || c.caption != bench::kRows[static_cast<std::size_t>(row)].caption)
                continue;
            ++captions;
            EXPECT_EQ(c.top, 870 + 810 * band);
            EXPECT_EQ(c.left, frame.left + 30);
        }
        EXPECT_EQ(captions, 1);
    }
    EXPECT_EQ(find("pctStatusBar", 1).left + find("pctStatusBar", 1).width, kClientWidthTwips + 120);
}

} // namespace
} // namespace quvo::app
