// SPDX-License-Identifier: MIT
// The one look the window has on every desktop: a fixed widget style and palette,
// and the layout's fonts (kFonts), or stand-ins with the same character cell.
#pragma once

class QApplication;
class QColor;
class QFont;

namespace quvo::app {

enum class Colour;
enum class TextFont;

// Fusion with its own palette, whatever the desktop's theme. Call once, before the
// window is built.
void useFixedLook(QApplication& app);

// One of the layout's fonts, by either of its names where the system has it, else its
// stand-in.
QFont fontOf(TextFont font);

// One of the layout's colours: its own, or the fixed palette's.
QColor colourOf(Colour colour);

} // namespace quvo::app
