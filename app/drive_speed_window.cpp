// SPDX-License-Identifier: MIT
#include "app/drive_speed_window.h"

#include "app/look.h"
#include "app/window_layout.h"
#include "bench/target.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextDocument>

#include <utility>

namespace quvo::app {
namespace {

QString qt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

runtime::NumberSeparators userSeparators()
{
    const QLocale locale = QLocale::system();
    return {locale.decimalPoint().toStdString(), locale.groupSeparator().toStdString()};
}

QColor colourOf(Colour colour)
{
    const QPalette system = QApplication::palette();
    switch (colour) {
    case Colour::ButtonText: return system.color(QPalette::ButtonText);
    case Colour::Blue: return QColor(0, 0, 255);
    case Colour::WindowText: return system.color(QPalette::WindowText);
    case Colour::WindowBackground: return system.color(QPalette::Base);
    case Colour::BarFill: return QColor(90, 136, 169);
    }
    return {};
}

void setColour(QWidget& widget, QPalette::ColorRole role, Colour colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colourOf(colour));
    widget.setPalette(palette);
}

QRect pixelRect(const ControlSpec& c)
{
    return {pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height)};
}

// X1, Y1 to X2, Y2, one pixel thick; both rules are level.
QRect lineRect(const ControlSpec& c)
{
    return {pixels(c.left), pixels(c.top), pixels(c.width - c.left), 1};
}

// A label that answers a click: the left button pressed and released over it.
class ClickableLabel final : public QLabel {
public:
    ClickableLabel(const QString& text, QWidget* parent, std::function<void()> clicked)
        : QLabel(text, parent)
        , clicked_(std::move(clicked))
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool click
            = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        event->accept();
        if (click)
            clicked_();
    }

private:
    std::function<void()> clicked_;
    bool pressed_ = false;
};

} // namespace

DriveSpeedWindow::DriveSpeedWindow(const bench::DriveList& drives, runtime::Clock& clock, LinkOpener openLink)
    : openLink_(std::move(openLink))
    , run_(*this, clock, userSeparators())
{
    setObjectName(qt(kWindowName));
    setWindowTitle(qt(kWindowTitle));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quvo-diskspeed-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quvo-diskspeed-32.png"), QSize(32, 32));
    setWindowIcon(icon);
    // The client area, whatever the frame around it; nothing in the layout follows a
    // change of size, so the user cannot make one.
    setFixedSize(pixels(kClientWidthTwips), pixels(kClientHeightTwips));
    setFont(windowFont());
    // The system's 3-D face colour.
    QPalette face = palette();
    face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(face);

    buildControls(drives);
    setTabOrder(drive1_, cmdCheckSpeed_);
    drive1_->setFocus();
}

DriveSpeedWindow::~DriveSpeedWindow() = default;

void DriveSpeedWindow::buildControls(const bench::DriveList& drives)
{
    QWidget* interior = nullptr; // of the frame built last, which holds the next fill
    for (const ControlSpec& spec : kControls) {
        QWidget* control = nullptr;
        switch (spec.kind) {
        case ControlKind::Label:
        case ControlKind::LinkLabel: {
            QLabel* label = spec.kind == ControlKind::LinkLabel
                ? new ClickableLabel(qt(spec.caption), this, [this] { openMakerSite(); })
                : new QLabel(qt(spec.caption), this);
            label->setAlignment(Qt::AlignTop | (spec.align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft));
            // Never markup: a directory named "<img src=...>" is shown as it is named.
            label->setTextFormat(Qt::PlainText);
            label->setFont(spec.font == TextFont::Result ? resultFont() : windowFont());
            setColour(*label, QPalette::WindowText, spec.colour);
            if (spec.kind == ControlKind::LinkLabel)
                label->setCursor(Qt::PointingHandCursor);
            if (spec.name == "lblStatus")
                lblStatus_ = label;
            else if (spec.name == "lblStatusBar")
                lblStatusBar_.at(static_cast<std::size_t>(spec.index)) = label;
            control = label;
            break;
        }
        case ControlKind::DriveList:
            drive1_ = new QComboBox(this);
            for (const std::string& entry : drives.entries)
                drive1_->addItem(qt(entry));
            drive1_->setCurrentIndex(drives.selected);
            control = drive1_;
            break;
        case ControlKind::Button:
            cmdCheckSpeed_ = new QPushButton(qt(spec.caption), this);
            // Enter presses the button once it has the focus; outside a dialog this
            // makes no default button of it.
            cmdCheckSpeed_->setAutoDefault(true);
            connect(cmdCheckSpeed_, &QPushButton::clicked, this, &DriveSpeedWindow::checkSpeed);
            control = cmdCheckSpeed_;
            break;
        case ControlKind::Line: {
            auto* line = new QFrame(this);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setLineWidth(1);
            setColour(*line, QPalette::WindowText, spec.colour);
            control = line;
            break;
        }
        case ControlKind::BarFrame: {
            // The border is the frame's own colour showing in a one-pixel ring around
            // an interior box. Painted as areas rather than stroked, it stays whole at
            // any scale; and the interior, not the frame, holds the fill, so a fill
            // wider than the interior is cut off there instead of painting over the
            // border.
            auto* frame = new QWidget(this);
            frame->setAutoFillBackground(true);
            setColour(*frame, QPalette::Window, Colour::WindowText);
            interior = new QWidget(frame);
            interior->setAutoFillBackground(true);
            setColour(*interior, QPalette::Window, spec.colour);
            const int border = pixels(kFrameBorderTwips);
            interior->setGeometry(border, border, pixels(spec.width) - 2 * border, pixels(spec.height) - 2 * border);
            control = frame;
            break;
        }
        case ControlKind::BarFill: {
            auto* fill = new QWidget(interior);
            fill->setAutoFillBackground(true);
            setColour(*fill, QPalette::Window, spec.colour);
            pctStatusBarDetail_.at(static_cast<std::size_t>(spec.index)) = fill;
            control = fill;
            break;
        }
        }
        control->setObjectName(qt(controlName(spec)));
        control->setGeometry(spec.kind == ControlKind::Line ? lineRect(spec) : pixelRect(spec));
    }
}

void DriveSpeedWindow::offerDrives(const bench::DriveList& drives)
{
    // Entries name their directory by the designation; their free space may differ.
    const std::string chosen = bench::targetPrefix(drive1_->currentText().toStdString());
    int selected = drives.selected;
    drive1_->clear();
    for (const std::string& entry : drives.entries) {
        if (!chosen.empty() && bench::targetPrefix(entry) == chosen)
            selected = drive1_->count();
        drive1_->addItem(qt(entry));
    }
    drive1_->setCurrentIndex(selected);
}

std::string DriveSpeedWindow::driveText()
{
    return drive1_->currentText().toStdString();
}

void DriveSpeedWindow::setStatusText(std::string_view text)
{
    lblStatus_->setText(qt(text));
    // The box never grows: a text it cannot hold whole is there in full as its tooltip.
    const bool cut
        = lblStatus_->fontMetrics().horizontalAdvance(lblStatus_->text()) > lblStatus_->contentsRect().width();
    lblStatus_->setToolTip(cut ? Qt::convertFromPlainText(lblStatus_->text(), Qt::WhiteSpaceNormal) : QString());
}

void DriveSpeedWindow::setBarWidth(int row, float twips)
{
    QWidget* fill = pctStatusBarDetail_.at(static_cast<std::size_t>(row));
    fill->resize(barPixels(twips), fill->height());
}

void DriveSpeedWindow::setResultText(int row, std::string_view text)
{
    lblStatusBar_.at(static_cast<std::size_t>(row))->setText(qt(text));
}

void DriveSpeedWindow::pumpEvents()
{
    QCoreApplication::processEvents();
}

bool DriveSpeedWindow::stopRequested()
{
    return closeRequested_ || (stopFlag_ != nullptr && stopFlag_->raised());
}

void DriveSpeedWindow::closeEvent(QCloseEvent* event)
{
    if (run_.isRunning()) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void DriveSpeedWindow::checkSpeed()
{
    // A click during a run reaches here from one of its pumps and is ignored.
    if (run_.start() == bench::RunOutcome::Ignored)
        return;
    if (stopRequested()) {
        closeRequested_ = false;
        close();
    }
}

void DriveSpeedWindow::openMakerSite()
{
    openLink_(*this, qt(kMakerSite) + QLatin1Char('/'));
}

} // namespace quvo::app
