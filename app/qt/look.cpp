// SPDX-License-Identifier: MIT
#include "app/qt/look.h"

#include "app/window_layout.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <initializer_list>
#include <string_view>

namespace quvo::app {
namespace {

// The window's own family if the system has it, else the stand-in. Chosen here rather
// than left to fontconfig, whose fallback for an unknown family depends on what the
// user has installed and configured.
QString familyOf(const FontSpec& font)
{
    const auto family
        = [](std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); };
    for (const std::string_view name : {font.face, font.alias})
        if (!name.empty() && QFontDatabase::hasFamily(family(name)))
            return family(name);
    return family(font.standIn);
}

} // namespace

void useFixedLook(QApplication& app)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(app.style()->standardPalette());
}

// Sized in pixels, not points: the layout is in pixels, and a point size would follow
// the screen's logical dpi away from the cell the boxes are measured for.
QFont fontOf(TextFont font)
{
    const FontSpec& spec = fontSpec(font);
    QFont qtFont(familyOf(spec));
    qtFont.setPixelSize(pixels(spec.sizeTwips));
    qtFont.setBold(spec.bold);
    return qtFont;
}

QColor colourOf(Colour colour)
{
    const QPalette system = QApplication::palette();
    switch (colour) {
    case Colour::ButtonText: return system.color(QPalette::ButtonText);
    case Colour::Blue: return QColor(kBlue.red, kBlue.green, kBlue.blue);
    case Colour::WindowText: return system.color(QPalette::WindowText);
    case Colour::WindowBackground: return system.color(QPalette::Base);
    case Colour::BarFill: return QColor(kBarFill.red, kBarFill.green, kBarFill.blue);
    }
    return {};
}

} // namespace quvo::app
