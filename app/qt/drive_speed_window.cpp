// SPDX-License-Identifier: MIT
#include "app/qt/drive_speed_window.h"

#include "app/qt/look.h"
#include "app/window_layout.h"
#include "bench/target.h"
#include "bench/wording.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>

#include <algorithm>
#include <utility>
#include <vector>

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

void setColour(QWidget& widget, QPalette::ColorRole role, Colour colour)
{
    QPalette palette = widget.palette();
    palette.setColor(role, colourOf(colour));
    widget.setPalette(palette);
}

// In device-independent pixels: Qt scales them to the screen.
QRect pixelRect(const ControlSpec& c)
{
    const PixelBox box = pixelBox(c);
    return {box.left, box.top, box.width, box.height};
}

void styleLabel(QLabel& label, const ControlSpec& spec)
{
    label.setAlignment(Qt::AlignTop | (spec.align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft));
    // Never markup: a directory named "<img src=...>" is shown as it is named.
    label.setTextFormat(Qt::PlainText);
    label.setFont(fontOf(spec.font));
    setColour(label, QPalette::WindowText, spec.colour);
}

QLabel* makeLabel(const ControlSpec& spec, QWidget& window)
{
    auto* label = new QLabel(qt(spec.caption), &window);
    styleLabel(*label, spec);
    return label;
}

QComboBox* makeDriveList(const bench::DriveList& drives, QWidget& window)
{
    auto* list = new QComboBox(&window);
    for (const std::string& entry : drives.entries)
        list->addItem(qt(entry));
    list->setCurrentIndex(drives.selected);
    return list;
}

QFrame* makeLine(const ControlSpec& spec, QWidget& window)
{
    auto* line = new QFrame(&window);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    setColour(*line, QPalette::WindowText, spec.colour);
    return line;
}

// The border is the frame's own colour showing in a one-pixel ring around an interior
// box. Painted as areas rather than stroked, it stays whole at any scale; and the
// interior, not the frame, holds the fill, so a fill wider than the interior is cut off
// there instead of painting over the border.
QWidget* makeBarFrame(const ControlSpec& spec, QWidget& window, QWidget*& interior)
{
    auto* frame = new QWidget(&window);
    frame->setAutoFillBackground(true);
    setColour(*frame, QPalette::Window, Colour::WindowText);
    interior = new QWidget(frame);
    interior->setAutoFillBackground(true);
    setColour(*interior, QPalette::Window, spec.colour);
    const int border = pixels(kFrameBorderTwips);
    interior->setGeometry(border, border, pixels(spec.width) - 2 * border, pixels(spec.height) - 2 * border);
    return frame;
}

QWidget* makeBarFill(const ControlSpec& spec, QWidget& interior)
{
    auto* fill = new QWidget(&interior);
    fill->setAutoFillBackground(true);
    setColour(*fill, QPalette::Window, spec.colour);
    return fill;
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
    , run_(*this, clock, userSeparators(), [this] {
        // From the run's thread: the tasks are run on the window's, as an event of its own.
        QMetaObject::invokeMethod(
            this, [this] { run_.runTasks(); }, Qt::QueuedConnection);
    })
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
    setFont(fontOf(TextFont::Window));
    // The system's 3-D face colour.
    QPalette face = palette();
    face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(face);

    buildControls(drives);
    // Adds nothing to the layout: a key, and a menu shown only when asked for.
    // Ctrl+C alone: QKeySequence::Copy would bind Ctrl+Insert and F16 as well.
    auto* copy = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_C), this);
    connect(copy, &QShortcut::activated, this, &DriveSpeedWindow::copyResults);
}

DriveSpeedWindow::~DriveSpeedWindow() = default;

// Builds every control of the table in its order, each in its place, and keeps the
// ones the run and the user reach.
void DriveSpeedWindow::buildControls(const bench::DriveList& drives)
{
    QWidget* interior = nullptr; // of the frame built last, which holds the next fill
    std::vector<std::pair<int, QWidget*>> tabStops;
    for (const ControlSpec& spec : kControls) {
        QWidget* control = nullptr;
        switch (spec.kind) {
        case ControlKind::Label: control = makeLabel(spec, *this); break;
        case ControlKind::LinkLabel: {
            auto* link = new ClickableLabel(qt(spec.caption), this, [this] { openMakerSite(); });
            styleLabel(*link, spec);
            link->setCursor(Qt::PointingHandCursor);
            control = link;
            break;
        }
        case ControlKind::DriveList: control = drive1_ = makeDriveList(drives, *this); break;
        case ControlKind::Button:
            control = cmdCheckSpeed_ = new QPushButton(qt(spec.caption), this);
            // Enter presses the button once it has the focus; outside a dialog this
            // makes no default button of it.
            cmdCheckSpeed_->setAutoDefault(true);
            connect(cmdCheckSpeed_, &QPushButton::clicked, this, &DriveSpeedWindow::checkSpeed);
            break;
        case ControlKind::Line: control = makeLine(spec, *this); break;
        case ControlKind::BarFrame: control = makeBarFrame(spec, *this, interior); break;
        case ControlKind::BarFill: control = makeBarFill(spec, *interior); break;
        }
        control->setObjectName(qt(controlName(spec)));
        control->setGeometry(pixelRect(spec));
        if (spec.tab != kNoTab)
            tabStops.emplace_back(spec.tab, control);
        keep(spec, *control);
    }

    // The keyboard order is the table's; the first stop has the focus.
    std::sort(tabStops.begin(), tabStops.end());
    for (std::size_t i = 1; i < tabStops.size(); ++i)
        setTabOrder(tabStops[i - 1].second, tabStops[i].second);
    tabStops.front().second->setFocus();
}

// The controls the run writes to, found by the names the table gives them (each of
// which the table holds once: window_layout.cpp checks that as it compiles).
void DriveSpeedWindow::keep(const ControlSpec& spec, QWidget& control)
{
    const auto row = static_cast<std::size_t>(spec.index);
    if (spec.name == kStatusName)
        lblStatus_ = static_cast<QLabel*>(&control);
    else if (spec.name == kResultName)
        lblStatusBar_.at(row) = static_cast<QLabel*>(&control);
    else if (spec.name == kBarFillName)
        pctStatusBarDetail_.at(row) = &control;
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
    QLabel* const label = lblStatusBar_.at(static_cast<std::size_t>(row));
    label->setText(qt(text));
    // A row reset for a new run no longer has a figure to explain.
    if (text.empty())
        label->setToolTip({});
}

void DriveSpeedWindow::rowChanged(int row)
{
    // Our own words, never markup.
    const bench::RowRecord& record = run_.lastRun().rows()[static_cast<std::size_t>(row)];
    lblStatusBar_.at(static_cast<std::size_t>(row))->setToolTip(qt(bench::pathTip(row, record)));
}

void DriveSpeedWindow::pumpEvents()
{
    heldInput_.release();
    QCoreApplication::processEvents();
    heldInput_.hold();
}

void DriveSpeedWindow::closeEvent(QCloseEvent* event)
{
    if (run_.running()) {
        closeRequested_ = true;
        run_.stop();
        // A menu opened at a pump would hold the window open until dismissed.
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// The run measures on its own thread; this one answers the system meanwhile, and waits
// for each event only as long as none comes. A click during a run reaches here from
// one of its pumps and is ignored.
void DriveSpeedWindow::checkSpeed()
{
    if (!run_.start())
        return;
    heldInput_.hold();
    while (run_.running())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    heldInput_.release();
    showRunNote();
    if (closeRequested_) {
        closeRequested_ = false;
        close();
    }
}

void DriveSpeedWindow::copyResults()
{
    QGuiApplication::clipboard()->setText(qt(bench::plainTextReport(run_.lastRun())));
}

void DriveSpeedWindow::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->pos().y() < pixels(kResultAreaTopTwips))
        return QWidget::contextMenuEvent(event);
    QMenu menu(this);
    connect(menu.addAction(qt(bench::kCopyResultsText)), &QAction::triggered, this, &DriveSpeedWindow::copyResults);
    menu.exec(event->globalPos());
}

// The note follows the status text where the box cuts that (the tooltip then holds it
// already); a disk's model comes from the system, and is shown as plain text.
void DriveSpeedWindow::showRunNote()
{
    std::string note;
    for (const std::string& line : bench::runNotes(run_.lastRun()))
        note += (note.empty() ? "" : "\n") + line;
    if (note.empty())
        return;
    const QString cut = lblStatus_->toolTip().isEmpty() ? QString() : lblStatus_->text() + QLatin1Char('\n');
    lblStatus_->setToolTip(Qt::convertFromPlainText(cut + qt(note), Qt::WhiteSpaceNormal));
}

void DriveSpeedWindow::openMakerSite()
{
    openLink_(*this, qt(kMakerSite) + QLatin1Char('/'));
}

} // namespace quvo::app
