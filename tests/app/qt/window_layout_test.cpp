// SPDX-License-Identifier: MIT
// The Qt window against its layout table: every control of the table is built once,
// where the table puts it at 96 dpi, as the kind it names, with its text,
// colour and font; and text-sized boxes hold exactly their captions in the 6 × 12 pixel
// cell. The table itself is data, read here, not typed out again.
#include "app/qt/drive_speed_window.h"
#include "app/qt/look.h"
#include "app/window_layout.h"
#include "tests/support/clocks.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace quvo::app {
namespace {

using Kind = ControlKind;

// Where the table puts a control at 96 dpi (layout_test.cpp holds the rule to pixels).
QRect placeOf(const ControlSpec& spec)
{
    const PixelBox box = pixelBox(spec);
    return {box.left, box.top, box.width, box.height};
}

QString captionOf(const ControlSpec& spec)
{
    return QString::fromUtf8(spec.caption.data(), static_cast<qsizetype>(spec.caption.size()));
}

// A caption's width as the layout measures it: 90 twips for each byte it takes in GBK,
// one for ASCII and two for the rest.
int gbkTwips(const QString& caption)
{
    int bytes = 0;
    for (const QChar c : caption)
        bytes += c.unicode() < 0x80 ? 1 : 2;
    return bytes * 90;
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void clientArea();
    void everyControlOnce();
    void controls_data();
    void controls();

private:
    test::StepClock clock_{0}; // no run is started: never read
    std::unique_ptr<DriveSpeedWindow> window_;
};

void WindowLayoutTest::initTestCase()
{
    useFixedLook(*qApp);
    window_ = std::make_unique<DriveSpeedWindow>(bench::DriveList{{"/tmp/ [test]"}, 0}, clock_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void WindowLayoutTest::cleanupTestCase()
{
    window_.reset();
}

void WindowLayoutTest::clientArea()
{
    QCOMPARE(window_->objectName(), QStringLiteral("frmDriveSpeed"));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quvo磁盘速度测试"));
    // 7635 × 4890 twips, fixed: the user cannot resize it.
    QCOMPARE(window_->size(), QSize(509, 326));
    QCOMPARE(window_->minimumSize(), QSize(509, 326));
    QCOMPARE(window_->maximumSize(), QSize(509, 326));
    QCOMPARE(window_->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
    QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
    const QIcon icon = window_->windowIcon();
    QCOMPARE(icon.availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32)}));
    QCOMPARE(window_->cursor().shape(), Qt::ArrowCursor);
}

void WindowLayoutTest::everyControlOnce()
{
    // 40 labels, 18 picture boxes, a button, a drive list and two lines, as the table
    // has them, and nothing named beside them.
    QStringList named;
    for (QWidget* widget : window_->findChildren<QWidget*>())
        if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
            named << widget->objectName();
    QStringList expected;
    for (const ControlSpec& spec : kControls)
        expected << QString::fromStdString(controlName(spec));
    named.sort();
    expected.sort();
    QCOMPARE(named, expected);
    QCOMPARE(expected.size(), 62);
    QCOMPARE(window_->findChildren<QLabel*>().size(), 40);
    const auto boxes = std::count_if(kControls.begin(), kControls.end(),
        [](const ControlSpec& c) { return c.kind == Kind::BarFrame || c.kind == Kind::BarFill; });
    QCOMPARE(boxes, 18);
}

void WindowLayoutTest::controls_data()
{
    QTest::addColumn<int>("at");
    for (std::size_t at = 0; at < kControls.size(); ++at)
        QTest::newRow(controlName(kControls[at]).c_str()) << static_cast<int>(at);
}

void WindowLayoutTest::controls()
{
    QFETCH(int, at);
    const ControlSpec& spec = kControls[static_cast<std::size_t>(at)];
    const QString name = QString::fromStdString(controlName(spec));
    const auto matches = window_->findChildren<QWidget*>(name);
    QCOMPARE(matches.size(), 1);
    QWidget* control = matches.front();
    QVERIFY2(control->isVisibleTo(window_.get()), "shown");
    // Only the drive list and the button take the focus; labels and bars never do.
    QCOMPARE(control->focusPolicy() != Qt::NoFocus, spec.tab != kNoTab);
    const QColor colour = colourOf(spec.colour);

    switch (spec.kind) {
    case Kind::Label:
    case Kind::LinkLabel: {
        QCOMPARE(control->geometry(), placeOf(spec));
        auto* label = qobject_cast<QLabel*>(control);
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), window_.get());
        QCOMPARE(label->text(), captionOf(spec));
        const int align = spec.align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft;
        QCOMPARE(static_cast<int>(label->alignment() & Qt::AlignHorizontal_Mask), align);
        QCOMPARE(static_cast<int>(label->alignment() & Qt::AlignVertical_Mask), static_cast<int>(Qt::AlignTop));
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        QVERIFY2(!label->autoFillBackground(), "the window's face colour shows through");
        QVERIFY(!label->wordWrap());
        QCOMPARE(label->cursor().shape(), spec.kind == Kind::LinkLabel ? Qt::PointingHandCursor : Qt::ArrowCursor);
        // The captions and legends (180 twips high, one line of the cell) are sized to
        // their text: exactly the box the caption needs. Every other caption fits its box.
        const int advance = label->fontMetrics().horizontalAdvance(label->text());
        if (spec.height == 180) {
            QCOMPARE(spec.width, gbkTwips(label->text()));
            QCOMPARE(advance, placeOf(spec).width());
        } else {
            QVERIFY(advance <= label->width());
        }
        break;
    }
    case Kind::DriveList: {
        QCOMPARE(control->geometry(), placeOf(spec));
        auto* list = qobject_cast<QComboBox*>(control);
        QVERIFY(list);
        QVERIFY(!list->isEditable());
        QCOMPARE(list->currentText(), QStringLiteral("/tmp/ [test]"));
        QVERIFY2(list->hasFocus() || !window_->isActiveWindow(), "the focus starts here");
        break;
    }
    case Kind::Button: {
        QCOMPARE(control->geometry(), placeOf(spec));
        auto* button = qobject_cast<QPushButton*>(control);
        QVERIFY(button);
        QCOMPARE(button->text(), captionOf(spec));
        QVERIFY2(!button->isDefault(), "no default button");
        break;
    }
    case Kind::Line: {
        // Level, one pixel high.
        QCOMPARE(spec.height, 0);
        QCOMPARE(control->geometry(), placeOf(spec));
        auto* line = qobject_cast<QFrame*>(control);
        QVERIFY(line);
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->frameShadow(), QFrame::Plain);
        QCOMPARE(line->palette().color(QPalette::WindowText), colour);
        break;
    }
    case Kind::BarFrame: {
        // A one-pixel border in the window-text colour around the interior, the frame
        // less that border on each side, in the window-background colour.
        QCOMPARE(control->geometry(), placeOf(spec));
        QVERIFY(control->autoFillBackground());
        QCOMPARE(control->palette().color(QPalette::Window), colourOf(Colour::WindowText));
        const auto boxes = control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(boxes.size(), 1);
        QWidget* interior = boxes.front();
        QCOMPARE(interior->geometry(), QRect(1, 1, placeOf(spec).width() - 2, placeOf(spec).height() - 2));
        QVERIFY(interior->autoFillBackground());
        QCOMPARE(interior->palette().color(QPalette::Window), colour);
        break;
    }
    case Kind::BarFill: {
        // Placed in its frame's interior, which cuts it off.
        QCOMPARE(control->geometry(), placeOf(spec));
        QWidget* interior = control->parentWidget();
        QVERIFY(interior);
        QCOMPARE(interior->parentWidget()->objectName(), QString(name).remove(QStringLiteral("Detail")));
        QVERIFY(control->autoFillBackground());
        QCOMPARE(control->palette().color(QPalette::Window), colour);
        break;
    }
    }

    if (spec.kind == Kind::BarFrame || spec.kind == Kind::BarFill || spec.kind == Kind::Line)
        return;
    if (spec.font == TextFont::Window) {
        // The 6 × 12 pixel cell that the text-sized boxes are measured in.
        const QFontMetrics metrics(control->font());
        QCOMPARE(QFontInfo(control->font()).pixelSize(), 12);
        QCOMPARE(metrics.height(), 12);
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('X')), 6);
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("快")), 12);
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("：")), 12);
        QVERIFY(!control->font().underline());
    } else {
        const QFontInfo info(control->font());
        QCOMPARE(info.pixelSize(), 11);
        QVERIFY(info.bold());
        QVERIFY2(info.family() == QStringLiteral("MS Sans Serif") || info.family() == QStringLiteral("Liberation Sans"),
            qPrintable(info.family()));
    }
}

} // namespace quvo::app

QTEST_MAIN(quvo::app::WindowLayoutTest)
#include "window_layout_test.moc"
