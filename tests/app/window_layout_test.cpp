// SPDX-License-Identifier: MIT
// The main window against the design's layout: every control's place, size, text,
// alignment, colour, font cell and focus, and the client area around them. The
// expected values are the design's tables in twips, converted here at 15 per pixel.
#include "app/drive_speed_window.h"
#include "app/look.h"
#include "app/window_layout.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <limits>

namespace quvo::app {
namespace {

using Kind = ControlKind;

constexpr int kTwips = 15;

QRect twipsRect(int left, int top, int width, int height)
{
    return {left / kTwips, top / kTwips, width / kTwips, height / kTwips};
}

// Nothing in this file reads the clock: no run is started.
class IdleClock final : public runtime::Clock {
public:
    double seconds() override { return 0; }
};

enum class Font { None, Window, Result };

const QColor kBlue(0, 0, 255);
const QColor kBarFill(90, 136, 169);

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void clientArea();
    void controls_data();
    void controls();
    void everyControlIsChecked();
    void barPixels_data();
    void barPixels();

private:
    // One row per control.
    void addControl(const char* name, Kind kind, QRect pixels, const QString& caption, Qt::Alignment align,
        QColor colour, Font font, bool textSized, bool takesFocus);
    void label(const char* name, int left, int top, int width, int height, const QString& caption, Qt::Alignment align,
        bool textSized);
    // A result row as the design's two row tables give it, in one line.
    struct Legend {
        const char* name;
        QString caption;
        int left;
        int top;
    };
    void resultRow(int row, const char* captionLabel, const QString& caption, int left, int top, int width,
        const Legend& leftEnd, const Legend& rightEnd, QRect resultLabel, QPoint frame);

    QColor buttonText_;
    QColor windowText_;
    QColor windowBackground_;
    IdleClock clock_;
    std::unique_ptr<DriveSpeedWindow> window_;
    QStringList checked_;
};

void WindowLayoutTest::initTestCase()
{
    useFixedLook(*qApp);
    const QPalette system = QApplication::palette();
    buttonText_ = system.color(QPalette::ButtonText);
    windowText_ = system.color(QPalette::WindowText);
    windowBackground_ = system.color(QPalette::Base);
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

void WindowLayoutTest::addControl(const char* name, Kind kind, QRect pixels, const QString& caption,
    Qt::Alignment align, QColor colour, Font font, bool textSized, bool takesFocus)
{
    QTest::newRow(name) << QString::fromLatin1(name) << static_cast<int>(kind) << pixels << caption
                        << static_cast<int>(align) << colour << static_cast<int>(font) << textSized << takesFocus;
}

void WindowLayoutTest::label(const char* name, int left, int top, int width, int height, const QString& caption,
    Qt::Alignment align, bool textSized)
{
    addControl(name, Kind::Label, twipsRect(left, top, width, height), caption, align, buttonText_, Font::Window,
        textSized, false);
}

void WindowLayoutTest::resultRow(int row, const char* captionLabel, const QString& caption, int left, int top,
    int width, const Legend& leftEnd, const Legend& rightEnd, QRect resultLabel, QPoint frame)
{
    label(captionLabel, left, top, width, 180, caption, Qt::AlignLeft, true);
    label(leftEnd.name, leftEnd.left, leftEnd.top, 540, 180, leftEnd.caption, Qt::AlignLeft, true);
    label(rightEnd.name, rightEnd.left, rightEnd.top, 540, 180, rightEnd.caption, Qt::AlignLeft, true);
    const QByteArray result = "lblStatusBar(" + QByteArray::number(row) + ")";
    addControl(result.constData(), Kind::Label, resultLabel, QString(), Qt::AlignHCenter, buttonText_, Font::Result,
        false, false);
    const QByteArray bar = "pctStatusBar(" + QByteArray::number(row) + ")";
    addControl(bar.constData(), Kind::BarFrame, twipsRect(frame.x(), frame.y(), 3735, 285), QString(), {},
        windowBackground_, Font::None, false, false);
    const QByteArray fill = "pctStatusBarDetail(" + QByteArray::number(row) + ")";
    addControl(
        fill.constData(), Kind::BarFill, twipsRect(0, 0, 15, 255), QString(), {}, kBarFill, Font::None, false, false);
}

void WindowLayoutTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("align");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("font");
    QTest::addColumn<bool>("textSized");
    QTest::addColumn<bool>("takesFocus");

    const auto s = [](const char* text) { return QString::fromUtf8(text); };
    // Top strip, rules, status line and footer. A line's rectangle runs from X1, Y1
    // to X2, Y2, one pixel high.
    label("Label1", 60, 120, 1440, 180, s("请选择本地磁盘："), Qt::AlignLeft, true);
    addControl("Drive1", Kind::DriveList, twipsRect(1800, 60, 3135, 300), s("/tmp/ [test]"), {}, {}, Font::Window,
        false, true);
    addControl(
        "cmdCheckSpeed", Kind::Button, twipsRect(5040, 60, 1125, 315), s("测试"), {}, {}, Font::Window, false, true);
    addControl(
        "Line1", Kind::Line, QRect(0, 420 / kTwips, 7800 / kTwips, 1), {}, {}, windowText_, Font::None, false, false);
    label("lblStatus", 30, 480, 7725, 255, s("测试本地磁盘数据仅供参考"), Qt::AlignHCenter, false);
    addControl(
        "Line2", Kind::Line, QRect(0, 780 / kTwips, 7800 / kTwips, 1), {}, {}, windowText_, Font::None, false, false);
    addControl("Label2", Kind::Label, twipsRect(4200, 4560, 975, 255), s("Quvo博客:"), Qt::AlignLeft, kBlue,
        Font::Window, false, false);
    addControl("Label30", Kind::LinkLabel, twipsRect(5160, 4560, 2295, 255), s("http://www.quvo.example"),
        Qt::AlignLeft, kBlue, Font::Window, false, false);

    // Result rows: caption, legends, result label and bar of each.
    // clang-format off
    resultRow(0, "Label3", s("小文件写入速度 (1MB):"), 60, 870, 1890,
        {"Label5", s("<-- 快"), 60, 1110}, {"Label6", s("慢 -->"), 3060, 1110}, twipsRect(765, 1110, 2220, 195), {30, 1320});
    resultRow(1, "Label4", s("小文件只读速度 (1MB):"), 4050, 870, 1890,
        {"Label7", s("<-- 快"), 4050, 1110}, {"Label8", s("慢 -->"), 7020, 1110}, twipsRect(4770, 1110, 2190, 195), {4020, 1320});
    resultRow(2, "Label9", s("大文件写入速度 (10 MB):"), 60, 1680, 2070,
        {"Label10", s("<-- 快"), 60, 1920}, {"Label11", s("慢 -->"), 3030, 1920}, twipsRect(780, 1920, 2190, 195), {30, 2130});
    resultRow(3, "Label12", s("大文件只读速度 (10 MB):"), 4050, 1680, 2070,
        {"Label13", s("<-- 快"), 4050, 1920}, {"Label14", s("慢 -->"), 7020, 1920}, twipsRect(4770, 1920, 2190, 195), {4020, 2130});
    resultRow(4, "Label15", s("磁盘全部写入速度 (KB/秒):"), 60, 2490, 2250,
        {"Label16", s("<-- 慢"), 60, 2730}, {"Label17", s("快 -->"), 3030, 2730}, twipsRect(840, 2730, 2190, 195), {30, 2940});
    resultRow(5, "Label18", s("磁盘全部只读速度 (KB/秒):"), 4050, 2490, 2250,
        {"Label19", s("<-- 慢"), 4050, 2730}, {"Label20", s("快 -->"), 7020, 2730}, twipsRect(4830, 2730, 2190, 195), {4020, 2940});
    resultRow(6, "Label23", s("文件查找速度 (10000个文件):"), 60, 3300, 2430,
        {"Label28", s("<-- 快"), 60, 3540}, {"Label22", s("慢 -->"), 3030, 3540}, twipsRect(780, 3540, 2190, 195), {30, 3750});
    resultRow(7, "Label21", s("文件复制速度 (10 MB):"), 4050, 3300, 1890,
        {"Label24", s("<-- 快"), 4050, 3540}, {"Label25", s("慢 -->"), 7020, 3540}, twipsRect(4770, 3540, 2190, 195), {4020, 3750});
    resultRow(8, "Label26", s("文件删除速度 (20 MB):"), 60, 4110, 1890,
        {"Label29", s("<-- 快"), 60, 4350}, {"Label27", s("慢 -->"), 3030, 4350}, twipsRect(780, 4350, 2190, 195), {30, 4560});
    // clang-format on
}

void WindowLayoutTest::controls()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(QRect, pixels);
    QFETCH(QString, caption);
    QFETCH(int, align);
    QFETCH(QColor, colour);
    QFETCH(int, font);
    QFETCH(bool, textSized);
    QFETCH(bool, takesFocus);
    checked_ << name;

    const auto matches = window_->findChildren<QWidget*>(name);
    QCOMPARE(matches.size(), 1);
    QWidget* control = matches.front();
    QCOMPARE(control->geometry(), pixels);
    QVERIFY2(control->isVisibleTo(window_.get()), "shown");
    QCOMPARE(control->focusPolicy() != Qt::NoFocus, takesFocus);

    switch (static_cast<Kind>(kind)) {
    case Kind::Label:
    case Kind::LinkLabel: {
        auto* label = qobject_cast<QLabel*>(control);
        QVERIFY(label);
        QCOMPARE(label->parentWidget(), window_.get());
        QCOMPARE(label->text(), caption);
        QCOMPARE(static_cast<int>(label->alignment() & Qt::AlignHorizontal_Mask), align);
        QCOMPARE(static_cast<int>(label->alignment() & Qt::AlignVertical_Mask), static_cast<int>(Qt::AlignTop));
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        QVERIFY2(!label->autoFillBackground(), "the window's face colour shows through");
        QVERIFY(!label->wordWrap());
        break;
    }
    case Kind::DriveList: {
        auto* list = qobject_cast<QComboBox*>(control);
        QVERIFY(list);
        QVERIFY(!list->isEditable());
        QCOMPARE(list->currentText(), caption);
        break;
    }
    case Kind::Button: {
        auto* button = qobject_cast<QPushButton*>(control);
        QVERIFY(button);
        QCOMPARE(button->text(), caption);
        QVERIFY2(!button->isDefault(), "no default button");
        break;
    }
    case Kind::Line: {
        auto* line = qobject_cast<QFrame*>(control);
        QVERIFY(line);
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->frameShadow(), QFrame::Plain);
        QCOMPARE(line->palette().color(QPalette::WindowText), colour);
        break;
    }
    case Kind::BarFrame: {
        // A one-pixel border in the window-text colour around the interior,
        // 3705 × 255 twips, in the window-background colour.
        QVERIFY(control->autoFillBackground());
        QCOMPARE(control->palette().color(QPalette::Window), windowText_);
        const auto boxes = control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(boxes.size(), 1);
        QWidget* interior = boxes.front();
        QCOMPARE(interior->geometry(), QRect(1, 1, 3705 / kTwips, 255 / kTwips));
        QVERIFY(interior->autoFillBackground());
        QCOMPARE(interior->palette().color(QPalette::Window), colour);
        break;
    }
    case Kind::BarFill: {
        // Inside its frame's interior, which cuts it off.
        QWidget* interior = control->parentWidget();
        QVERIFY(interior);
        QCOMPARE(interior->geometry(), QRect(1, 1, 3705 / kTwips, 255 / kTwips));
        QCOMPARE(interior->parentWidget()->objectName(), QString(name).remove(QStringLiteral("Detail")));
        QVERIFY(control->autoFillBackground());
        QCOMPARE(control->palette().color(QPalette::Window), colour);
        break;
    }
    }

    if (font == static_cast<int>(Font::Window)) {
        // The 6 × 12 pixel cell that the text-sized boxes are measured in.
        const QFontMetrics metrics(control->font());
        QCOMPARE(QFontInfo(control->font()).pixelSize(), 12);
        QCOMPARE(metrics.height(), 12);
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('X')), 6);
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("快")), 12);
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("：")), 12);
        QVERIFY(!control->font().underline());
    } else if (font == static_cast<int>(Font::Result)) {
        const QFontInfo info(control->font());
        QCOMPARE(info.pixelSize(), 11);
        QVERIFY(info.bold());
        QVERIFY2(info.family() == QStringLiteral("MS Sans Serif") || info.family() == QStringLiteral("Liberation Sans"),
            qPrintable(info.family()));
    }
    if (textSized) {
        // 90 twips for each byte of the caption in GBK: one for ASCII, two for the rest.
        int bytes = 0;
        for (const QChar c : caption)
            bytes += c.unicode() < 0x80 ? 1 : 2;
        QCOMPARE(pixels.width(), bytes * 90 / kTwips);
        QCOMPARE(QFontMetrics(control->font()).horizontalAdvance(caption), pixels.width());
    }
}

void WindowLayoutTest::everyControlIsChecked()
{
    // 40 labels, 18 picture boxes, a button, a drive list and two lines, all named.
    QCOMPARE(checked_.size(), 62);
    checked_.removeDuplicates();
    QCOMPARE(checked_.size(), 62);
    QCOMPARE(window_->findChildren<QLabel*>().size(), 40);
}

void WindowLayoutTest::barPixels_data()
{
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("pixels");

    QTest::newRow("reset width is one pixel") << 15.0f << 1;
    QTest::newRow("full scale is the interior") << 3705.0f << 247;
    QTest::newRow("zero shows nothing") << 0.0f << 0;
    QTest::newRow("below half a pixel rounds down") << 7.4f << 0;
    QTest::newRow("half a pixel rounds up") << 7.5f << 1;
    QTest::newRow("nearest pixel") << 7410.0f << 494;
    QTest::newRow("negative shows nothing") << -120.0f << 0;
    QTest::newRow("not a number shows nothing") << std::numeric_limits<float>::quiet_NaN() << 0;
    QTest::newRow("infinite stays within Qt's sizes") << std::numeric_limits<float>::infinity() << 16'777'215;
    QTest::newRow("largest float stays within Qt's sizes") << std::numeric_limits<float>::max() << 16'777'215;
}

void WindowLayoutTest::barPixels()
{
    QFETCH(float, twips);
    QFETCH(int, pixels);
    QCOMPARE(app::barPixels(twips), pixels);
}

} // namespace quvo::app

QTEST_MAIN(quvo::app::WindowLayoutTest)
#include "window_layout_test.moc"
