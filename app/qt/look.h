// SPDX-License-Identifier: MIT
// The one look the window has on every desktop: a fixed widget style and palette,
// and its fonts, 宋体 and MS Sans Serif, or stand-ins with the same character cell.
#pragma once

class QApplication;
class QFont;

namespace quvo::app {

// Fusion with its own palette, whatever the desktop's theme. Call once, before the
// window is built.
void useFixedLook(QApplication& app);

// "宋体" 9 pt: 12 pixels high, 6 wide for each single-byte character and 12 for each
// Chinese one. Where it is missing, "AR PL UMing CN" has exactly that cell.
QFont windowFont();

// "MS Sans Serif" 8.25 pt bold (11 pixels); where it is missing, "Liberation Sans" bold
// has its metrics.
QFont resultFont();

} // namespace quvo::app
