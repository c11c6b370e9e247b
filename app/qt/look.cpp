// SPDX-License-Identifier: MIT
#include "app/qt/look.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>

namespace quvo::app {
namespace {

// Sizes in pixels, not points: the layout is in pixels, and a point size would follow
// the screen's logical dpi away from the cell the boxes are measured for.
constexpr int kWindowFontPixels = 12; // 9 pt at 96 dpi
constexpr int kResultFontPixels = 11; // 8.25 pt at 96 dpi

// The window's own family if the system has it, else the stand-in. Chosen here rather
// than left to fontconfig, whose fallback for an unknown family depends on what the
// user has installed and configured.
QString familyOf(const QStringList& names, const QString& standIn)
{
    for (const QString& family : names)
        if (QFontDatabase::hasFamily(family))
            return family;
    return standIn;
}

} // namespace

void useFixedLook(QApplication& app)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(app.style()->standardPalette());
}

QFont windowFont()
{
    QFont font(familyOf({QStringLiteral("宋体"), QStringLiteral("SimSun")}, QStringLiteral("AR PL UMing CN")));
    font.setPixelSize(kWindowFontPixels);
    return font;
}

QFont resultFont()
{
    QFont font(familyOf({QStringLiteral("MS Sans Serif")}, QStringLiteral("Liberation Sans")));
    font.setPixelSize(kResultFontPixels);
    font.setBold(true);
    return font;
}

} // namespace quvo::app
