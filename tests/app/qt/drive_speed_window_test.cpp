// SPDX-License-Identifier: MIT
// The main window at work: its state when it opens, what the run shows in it, the
// bars as they are painted, the keyboard, the link, and closing it, idle or during a
// run, by the user or by a stop signal. Runs go to a temporary directory, timed by a
// clock that steps, so the 3-second sustained write is over in a few thousand writes.
// The clock is read on the run's own thread: what a test looks at or does in the window
// from there, it does on the window's thread, where the run's earlier settings have
// arrived by then.
#include "app/qt/drive_speed_window.h"
#include "app/qt/look.h"
#include "app/qt/stop_signals.h"
#include "bench/drives.h"
#include "bench/target.h"
#include "bench/wording.h"
#include "runtime/designation.h"
#include "runtime/volumes.h"
#include "tests/support/clocks.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace quvo::app {
namespace {

namespace fs = std::filesystem;

const QString kInitialStatus = QStringLiteral("测试本地磁盘数据仅供参考");
const QString kWaiting = QStringLiteral("测试本地磁盘需要几分钟，请耐心等候... ");
const QString kCompleted = QStringLiteral("本地磁盘测试完成");
const QString kStopped = QStringLiteral("本地磁盘测试已中止");
const QString kSite = QStringLiteral("http://www.quvo.example/");
const QColor kBarFill(90, 136, 169);
// A drive list entry no run can use: a run that took it would fail at once.
const std::string kDecoyEntry = "/nonexistent-quvo-drive/ [none]";

struct Opened {
    QWidget* window;
    QString address;
};

QString rowName(const char* array, int row)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(row);
}

// Runs act on the window's thread, from any thread, and waits for it.
void onWindowThread(QObject& window, const std::function<void()>& act)
{
    if (QThread::currentThread() == window.thread())
        act();
    else
        QMetaObject::invokeMethod(&window, act, Qt::BlockingQueuedConnection);
}

// Counts the events of one kind that reach a widget (a close, however it was asked for),
// and lets the run's thread wait for the first: a close asked from there is then being
// acted on.
template <QEvent::Type kType>
class EventsSeen final : public QObject {
public:
    explicit EventsSeen(QWidget& widget) { widget.installEventFilter(this); }
    int count() const { return count_; }
    // On the run's thread.
    bool waitFor() const
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (count_ == 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count_ > 0;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count_ += event->type() == kType ? 1 : 0;
        return false;
    }

private:
    std::atomic<int> count_{0};
};
using CloseSeen = EventsSeen<QEvent::Close>;

} // namespace

class DriveSpeedWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void initialState();
    void keyboardOrder();
    void rowOutput_data();
    void rowOutput();
    void paintedBars_data();
    void paintedBars();
    void paintedRules_data();
    void paintedRules();
    void keys_data();
    void keys();
    void completeRun();
    void resultsToTheClipboard();
    void clicksDuringRunWaitForItsPumps();
    void link_data();
    void link();
    void closing_data();
    void closing();
    void closingInEachRow_data();
    void closingInEachRow();
    void outsideTextIsPlain();
    void statusTooLongForItsBox();
    void linkNoteInTheStatusTip();
    void driveList();

private:
    template <class T = QWidget>
    T* control(const QString& name)
    {
        T* found = window_->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    // From any thread.
    QString label(const QString& name)
    {
        QString text;
        onWindowThread(*window_, [&] { text = control<QLabel>(name)->text(); });
        return text;
    }
    // How many rows show a result, from any thread.
    int rowsShown()
    {
        int shown = 0;
        onWindowThread(*window_, [&] {
            for (int row = 0; row < bench::kRowCount; ++row)
                shown += control<QLabel>(rowName("lblStatusBar", row))->text().isEmpty() ? 0 : 1;
        });
        return shown;
    }
    QStringList testFilesLeft() const;
    // Every control's place, size and text, the focus and what is on screen.
    QStringList snapshot();
    void showActive();

    std::unique_ptr<test::TempDir> directory_;
    std::string driveText_;
    // Lets a test act at a reading, inside the run.
    test::StepClock clock_{0.001};
    QList<Opened> opened_;
    std::unique_ptr<DriveSpeedWindow> window_;
};

void DriveSpeedWindowTest::initTestCase()
{
    useFixedLook(*qApp);
    // The tests close the window; the test program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
}

void DriveSpeedWindowTest::init()
{
    directory_ = std::make_unique<test::TempDir>("quvo-window");
    driveText_ = bench::driveTextOf(directory_->path().string());
    clock_.onReading = nullptr;
    opened_.clear();
    window_ = std::make_unique<DriveSpeedWindow>(
        bench::DriveList{{kDecoyEntry, driveText_}, 1}, clock_, [this](QWidget& window, const QString& address) {
            opened_.push_back({&window, address});
        });
}

void DriveSpeedWindowTest::cleanup()
{
    window_.reset();
    directory_.reset();
}

QStringList DriveSpeedWindowTest::testFilesLeft() const
{
    QStringList names;
    for (const auto& entry : fs::directory_iterator(directory_->path()))
        names << QString::fromStdString(entry.path().filename().string());
    return names;
}

QStringList DriveSpeedWindowTest::snapshot()
{
    QStringList lines;
    for (QWidget* widget : window_->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty())
            continue;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget))
            text = label->text();
        else if (auto* list = qobject_cast<QComboBox*>(widget))
            text = list->currentText();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text = button->text();
        const QRect g = widget->geometry();
        lines << QString::asprintf("%s %d,%d %dx%d %d %s", qUtf8Printable(widget->objectName()), g.x(), g.y(),
            g.width(), g.height(), widget->isVisible(), qUtf8Printable(text));
    }
    QWidget* focus = QApplication::focusWidget();
    lines << QStringLiteral("focus %1").arg(focus ? focus->objectName() : QString());
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible())
            lines << QStringLiteral("on screen %1").arg(top->objectName());
    return lines;
}

void DriveSpeedWindowTest::showActive()
{
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void DriveSpeedWindowTest::initialState()
{
    showActive();
    QCOMPARE(label(QStringLiteral("lblStatus")), kInitialStatus);
    QCOMPARE(rowsShown(), 0);
    // 15 twips: one pixel column at the frame's interior edge.
    for (int row = 0; row < 9; ++row)
        QCOMPARE(control(rowName("pctStatusBarDetail", row))->geometry(), QRect(0, 0, 1, 17));
    auto* drive1 = control<QComboBox>(QStringLiteral("Drive1"));
    QCOMPARE(drive1->count(), 2);
    QCOMPARE(drive1->itemText(0), QString::fromStdString(kDecoyEntry));
    QCOMPARE(drive1->currentText(), QString::fromStdString(driveText_));
    QCOMPARE(QApplication::focusWidget(), drive1);
    QVERIFY(control<QPushButton>(QStringLiteral("cmdCheckSpeed"))->isEnabled());
}

void DriveSpeedWindowTest::keyboardOrder()
{
    showActive();
    QWidget* drive1 = control(QStringLiteral("Drive1"));
    QWidget* button = control(QStringLiteral("cmdCheckSpeed"));
    // Labels, rules and bars never take the focus: Tab goes back and forth between two.
    const QList<std::pair<Qt::Key, QWidget*>> steps
        = {{Qt::Key_Tab, button}, {Qt::Key_Tab, drive1}, {Qt::Key_Backtab, button}, {Qt::Key_Backtab, drive1}};
    for (const auto& [key, expected] : steps) {
        QTest::keyClick(QApplication::focusWidget(), key);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
}

void DriveSpeedWindowTest::rowOutput_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < 9; ++row)
        QTest::addRow("row %d", row) << row;
}

void DriveSpeedWindowTest::rowOutput()
{
    QFETCH(int, row);
    window_->setResultText(row, "1,234 KB/秒");
    window_->setBarWidth(row, 741);
    for (int other = 0; other < 9; ++other) {
        const bool shown = other == row;
        QCOMPARE(label(rowName("lblStatusBar", other)), shown ? QStringLiteral("1,234 KB/秒") : QString());
        QCOMPARE(control(rowName("pctStatusBarDetail", other))->geometry(), QRect(0, 0, shown ? 741 / 15 : 1, 17));
    }
    window_->setStatusText("本地磁盘测试完成");
    QCOMPARE(label(QStringLiteral("lblStatus")), kCompleted);
}

void DriveSpeedWindowTest::paintedBars_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("filled"); // interior columns in the fill colour

    QTest::newRow("a reset bar shows one column") << 0 << 15.0f << 1;
    QTest::newRow("no width shows nothing") << 2 << 0.0f << 0;
    QTest::newRow("below zero shows nothing") << 8 << -500.0f << 0;
    QTest::newRow("full scale covers the interior") << 6 << 3705.0f << 247;
    QTest::newRow("10000 twips stops at the border") << 0 << 10000.0f << 247;
    QTest::newRow("right column, cut at the client edge") << 1 << 10000.0f << 509 - 269;
    QTest::newRow("right column, half way") << 7 << 1852.5f << 124;
}

void DriveSpeedWindowTest::paintedBars()
{
    QFETCH(int, row);
    QFETCH(float, twips);
    QFETCH(int, filled);
    window_->setBarWidth(row, twips);

    const QImage image = window_->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    // The window's pixel (x, y), whatever the scale it was painted at.
    const auto at = [&](int x, int y) { return image.pixelColor(int(x * ratio), int(y * ratio)); };
    const QColor border = QApplication::palette().color(QPalette::WindowText);
    const QColor interior = QApplication::palette().color(QPalette::Base);
    constexpr int kClientWidth = 509;

    const QRect frame = control(rowName("pctStatusBar", row))->geometry();
    QCOMPARE(frame.size(), QSize(249, 19));
    const int visibleRight = std::min(frame.right(), kClientWidth - 1);
    for (int x = frame.left(); x <= visibleRight; ++x) {
        QCOMPARE(at(x, frame.top()), border);
        QCOMPARE(at(x, frame.bottom()), border);
    }
    for (int y = frame.top(); y <= frame.bottom(); ++y) {
        QCOMPARE(at(frame.left(), y), border);
        if (frame.right() < kClientWidth)
            QCOMPARE(at(frame.right(), y), border);
    }
    const int interiorLeft = frame.left() + 1;
    const int interiorRight = std::min(frame.right() - 1, kClientWidth - 1);
    for (int x = interiorLeft; x <= interiorRight; ++x)
        for (const int y : {frame.top() + 1, frame.center().y(), frame.bottom() - 1})
            QCOMPARE(at(x, y), x - interiorLeft < filled ? kBarFill : interior);
}

void DriveSpeedWindowTest::paintedRules_data()
{
    QTest::addColumn<int>("y");
    QTest::newRow("Line1") << 420 / 15;
    QTest::newRow("Line2") << 780 / 15;
}

void DriveSpeedWindowTest::paintedRules()
{
    QFETCH(int, y);
    const QImage image = window_->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const auto at = [&](int x, int row) { return image.pixelColor(int(x * ratio), int(row * ratio)); };
    const QColor ink = QApplication::palette().color(QPalette::WindowText);
    const QColor face = QApplication::palette().color(QPalette::Button);
    // From the left edge to the right edge of the client area, and one pixel thick.
    for (int x = 0; x < 509; ++x)
        QCOMPARE(at(x, y), ink);
    QCOMPARE(at(100, y - 1), face);
    QCOMPARE(at(100, y + 1), face);
}

void DriveSpeedWindowTest::keys_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("runs");

    const QString drive1 = QStringLiteral("Drive1");
    const QString button = QStringLiteral("cmdCheckSpeed");
    QTest::newRow("Enter in the drive list starts nothing") << drive1 << int(Qt::Key_Return) << false;
    QTest::newRow("keypad Enter in the drive list starts nothing") << drive1 << int(Qt::Key_Enter) << false;
    QTest::newRow("Escape in the drive list does nothing") << drive1 << int(Qt::Key_Escape) << false;
    QTest::newRow("Escape on the button does nothing") << button << int(Qt::Key_Escape) << false;
    QTest::newRow("Space presses the button") << button << int(Qt::Key_Space) << true;
    QTest::newRow("Enter presses the focused button") << button << int(Qt::Key_Return) << true;
}

void DriveSpeedWindowTest::keys()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, runs);
    showActive();
    control(focus)->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), control(focus));

    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
    QCOMPARE(label(QStringLiteral("lblStatus")), runs ? kCompleted : kInitialStatus);
    QVERIFY(window_->isVisible());
    QCOMPARE(testFilesLeft(), QStringList());
}

void DriveSpeedWindowTest::completeRun()
{
    showActive();
    const QString prefix = QString::fromStdString(bench::targetPrefix(driveText_));
    QCOMPARE(prefix, QString::fromStdString(runtime::designationFor(directory_->path().string())));

    QStringList statusesSeen;
    bool inOrder = true;
    bool fileWritten = false;
    clock_.onReading = [&] {
        onWindowThread(*window_, [&] {
            const QString status = control<QLabel>(QStringLiteral("lblStatus"))->text();
            if (statusesSeen.isEmpty() || statusesSeen.back() != status)
                statusesSeen << status;
            // The rows fill in one after another: those shown are always the first ones.
            bool gap = false;
            for (int row = 0; row < 9; ++row) {
                const bool shown = !control<QLabel>(rowName("lblStatusBar", row))->text().isEmpty();
                inOrder = inOrder && !(shown && gap);
                gap = gap || !shown;
            }
        });
        fileWritten = fileWritten || fs::exists(directory_->path() / "DriveSpeedTest.txt");
    };
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);

    QCOMPARE(statusesSeen, QStringList{kWaiting + prefix});
    QCOMPARE(label(QStringLiteral("lblStatus")), kCompleted);
    QVERIFY(inOrder);
    QVERIFY2(fileWritten, "the run worked in the selected entry's directory");
    QCOMPARE(testFilesLeft(), QStringList());
    const QRegularExpression seconds(QStringLiteral("^\\d+\\.\\d{3} 秒$"));
    const QRegularExpression speed(QStringLiteral("^\\d{1,3}(,\\d{3})* KB/秒$"));
    for (int row = 0; row < 9; ++row) {
        const QString result = label(rowName("lblStatusBar", row));
        const bool speedRow = row == 4 || row == 5;
        QVERIFY2((speedRow ? speed : seconds).match(result).hasMatch(), qPrintable(rowName("row", row) + result));
        // How the figure met the device, for each row that moves data, and in words of
        // the run rather than markup.
        const QString tip = control(rowName("lblStatusBar", row))->toolTip();
        const bool movesData = row != 6 && row != 8;
        QVERIFY2(tip.isEmpty() != movesData && !tip.contains(QLatin1Char('<')), qPrintable(rowName("row", row) + tip));
    }
    QVERIFY(window_->isVisible());
}

void DriveSpeedWindowTest::resultsToTheClipboard()
{
    showActive();
    const auto widgets = window_->findChildren<QWidget*>().size();
    const auto copied = [this](const QKeySequence& keys) {
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(window_.get(), keys);
        return QGuiApplication::clipboard()->text();
    };
    // Before any run: nothing measured, and no date or drive of a run that was not.
    const QString before = copied(QKeySequence(Qt::CTRL | Qt::Key_C));
    QCOMPARE(before.count(QStringLiteral("（未测）")), bench::kRowCount);
    QVERIFY2(
        !before.contains(QStringLiteral("日期")) && !before.contains(QStringLiteral("磁盘：")), qPrintable(before));
    // Ctrl+C alone copies; the other keys of the platform's copy do nothing.
    QCOMPARE(copied(QKeySequence(Qt::CTRL | Qt::Key_Insert)), QString());

    // The selection changes while the run resets its rows: the run measures the entry
    // it reads after them, and the report names that one.
    auto* drives = control<QComboBox>(QStringLiteral("Drive1"));
    drives->setCurrentIndex(0);
    QTimer::singleShot(0, drives, [drives] { drives->setCurrentIndex(1); });
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);
    QCOMPARE(label(QStringLiteral("lblStatus")), kCompleted);
    const QString report = copied(QKeySequence(Qt::CTRL | Qt::Key_C));
    QVERIFY2(report.contains(QStringLiteral("磁盘：") + QString::fromStdString(driveText_)), qPrintable(report));
    QVERIFY2(!report.contains(QString::fromStdString(kDecoyEntry)), qPrintable(report));
    QVERIFY(report.contains(QRegularExpression(QStringLiteral("quvo-diskspeed \\d+\\.\\d+\\.\\d+"))));
    QVERIFY(report.contains(QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"))));
    // Each row's caption with the result the window shows, and the bytes it moved.
    for (int row = 0; row < bench::kRowCount; ++row) {
        const QString line = QString::fromStdString(std::string(bench::rowSpec(row).caption)) + QLatin1Char(' ')
            + label(rowName("lblStatusBar", row));
        QVERIFY2(report.contains(line), qPrintable(line));
    }
    QVERIFY(report.contains(QStringLiteral("10,240,000 字节")));
    QVERIFY(report.trimmed().endsWith(kCompleted));
    // The layout is as it was: nothing was added to show for it.
    QCOMPARE(window_->findChildren<QWidget*>().size(), widgets);
}

// The user's clicks during a row wait for the run's next pump, as they did when the run
// held the window's thread: a click on the button is then ignored, and one on the link
// opens the site there, not in the middle of a measurement.
void DriveSpeedWindowTest::clicksDuringRunWaitForItsPumps()
{
    showActive();
    QPushButton* button = control<QPushButton>(QStringLiteral("cmdCheckSpeed"));
    const EventsSeen<QEvent::MouseButtonRelease> releases(*button);

    bool clicked = false;
    bool enabledDuringRun = true;
    int releasesInRow = -1;
    qsizetype openedInRow = -1;
    clock_.onReading = [&] {
        if (clicked || rowsShown() != 1)
            return;
        onWindowThread(*window_, [&] {
            enabledDuringRun = button->isEnabled();
            QTest::mouseClick(button, Qt::LeftButton);
            QTest::mouseClick(control(QStringLiteral("Label30")), Qt::LeftButton);
            releasesInRow = releases.count();
            openedInRow = opened_.size();
        });
        clicked = true;
    };
    QTest::mouseClick(button, Qt::LeftButton);

    QVERIFY(clicked);
    QCOMPARE(releasesInRow, 1);
    QCOMPARE(openedInRow, 0);
    QCOMPARE(releases.count(), 2);
    QCOMPARE(opened_.size(), 1);
    QVERIFY(enabledDuringRun);
    QCOMPARE(label(QStringLiteral("lblStatus")), kCompleted);
    QCOMPARE(rowsShown(), 9);
    QCOMPARE(testFilesLeft(), QStringList());
}

void DriveSpeedWindowTest::link_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opens");
    const DriveSpeedWindow window(bench::DriveList{{kDecoyEntry}, 0}, clock_);
    for (QLabel* label : window.findChildren<QLabel*>()) {
        const QString name = label->objectName();
        QTest::newRow(qPrintable(name)) << name << (name == QStringLiteral("Label30"));
    }
}

void DriveSpeedWindowTest::link()
{
    QFETCH(QString, name);
    QFETCH(bool, opens);
    showActive();
    QLabel* clicked = control<QLabel>(name);
    QCOMPARE(clicked->cursor().shape(), opens ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QCOMPARE(clicked->testAttribute(Qt::WA_SetCursor), opens);
    QCOMPARE(clicked->focusPolicy(), Qt::NoFocus);

    const QStringList before = snapshot();
    QTest::mouseClick(clicked, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(snapshot(), before);
    QCOMPARE(opened_.size(), opens ? 1 : 0);
    if (opens) {
        QCOMPARE(opened_.front().address, kSite);
        QCOMPARE(opened_.front().window, window_.get());
        QVERIFY(!clicked->font().underline());
    }
    // A press on the link that is released elsewhere is no click.
    QTest::mousePress(clicked, Qt::LeftButton);
    QTest::mouseRelease(clicked, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(opened_.size(), opens ? 1 : 0);
}

void DriveSpeedWindowTest::closing_data()
{
    QTest::addColumn<int>("stopSignal"); // that asks to close, or 0: the user asks
    QTest::addColumn<bool>("duringRun");

    QTest::newRow("the user, when idle") << 0 << false;
    QTest::newRow("SIGTERM, when idle") << SIGTERM << false;
    QTest::newRow("the user, during a run") << 0 << true;
    QTest::newRow("SIGINT, during a run") << SIGINT << true;
    QTest::newRow("SIGTERM, during a run") << SIGTERM << true;
    QTest::newRow("SIGHUP, during a run") << SIGHUP << true;
}

void DriveSpeedWindowTest::closing()
{
    QFETCH(int, stopSignal);
    QFETCH(bool, duringRun);
    showActive();
    const CloseOnStopSignals stopSignals(*window_);
    // As the window system or the signal delivers it.
    const auto askToClose = [&] {
        if (stopSignal == 0)
            QCoreApplication::postEvent(window_->windowHandle(), new QCloseEvent);
        else
            std::raise(stopSignal);
    };

    if (!duringRun) {
        askToClose();
        QTRY_VERIFY(!window_->isVisible());
        QCOMPARE(label(QStringLiteral("lblStatus")), kInitialStatus);
        return;
    }

    // Asked as row 1 starts: the run stops within that row, not at the pump after it,
    // removes its files, and the window closes.
    const CloseSeen seen(*window_);
    bool asked = false;
    bool fileWhenAsked = false;
    clock_.onReading = [&] {
        if (asked || rowsShown() != 1)
            return;
        fileWhenAsked = fs::exists(directory_->path() / "DriveSpeedTest.txt");
        askToClose();
        asked = seen.waitFor();
    };
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);

    QVERIFY(asked);
    QVERIFY2(fileWhenAsked, "the close came while a test file was there");
    QVERIFY(!window_->isVisible());
    QCOMPARE(label(QStringLiteral("lblStatus")), kStopped);
    QCOMPARE(label(rowName("lblStatusBar", 1)), QString());
    QCOMPARE(testFilesLeft(), QStringList());
}

void DriveSpeedWindowTest::closingInEachRow_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < bench::kRowCount; ++row)
        QTest::newRow(qPrintable(rowName("row", row))) << row;
}

// A close as a row starts stops the run within that row, whichever it is.
void DriveSpeedWindowTest::closingInEachRow()
{
    QFETCH(int, row);
    showActive();
    const CloseSeen seen(*window_);
    bool asked = false;
    clock_.onReading = [&] {
        if (asked || rowsShown() != row || label(QStringLiteral("lblStatus")) == kInitialStatus)
            return;
        QCoreApplication::postEvent(window_->windowHandle(), new QCloseEvent);
        asked = seen.waitFor();
    };
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);

    QVERIFY(asked);
    QVERIFY(!window_->isVisible());
    QCOMPARE(label(QStringLiteral("lblStatus")), kStopped);
    QCOMPARE(rowsShown(), row);
    QCOMPARE(testFilesLeft(), QStringList());
}

void DriveSpeedWindowTest::outsideTextIsPlain()
{
    for (QLabel* label : window_->findChildren<QLabel*>())
        QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
    // A directory named with markup: shown as named, not rendered (nor its images read).
    const fs::path marked = directory_->path() / "<b>粗体<" / "b> <img src=\"none.png\">";
    fs::create_directories(marked);
    window_->offerDrives(bench::DriveList{{bench::driveTextOf(marked.string())}, 0});
    QString waiting;
    clock_.onReading = [&] {
        if (waiting.isEmpty())
            waiting = label(QStringLiteral("lblStatus"));
    };
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);
    QVERIFY(waiting.endsWith(QStringLiteral("/<b>粗体</b>\\040<img\\040src=\"none.png\">/")));
    auto* status = control<QLabel>(QStringLiteral("lblStatus"));
    status->setText(waiting);
    QVERIFY(status->sizeHint().width() >= status->fontMetrics().horizontalAdvance(waiting));
}

void DriveSpeedWindowTest::statusTooLongForItsBox()
{
    auto* status = control<QLabel>(QStringLiteral("lblStatus"));
    const QRect box = status->geometry();
    const std::string reason = "本地磁盘测试失败：创建 /a/very/long/path/" + std::string(200, 'x')
        + "/DriveSpeedTest.txt 时出错（<b>Read-only file system</b>）";
    window_->setStatusText(reason);
    QCOMPARE(status->geometry(), box);
    QCOMPARE(QTextDocumentFragment::fromHtml(status->toolTip()).toPlainText(), QString::fromStdString(reason));
    window_->setStatusText("本地磁盘测试完成");
    QCOMPARE(status->toolTip(), QString());
}

// After a run on a disk whose link runs below what it can do, the status text stays as it
// is and its tooltip says so, the disk's model as plain text. The disk is an NVMe drive
// at PCIe 3.0 ×2 that can do 4.0 ×4, in a sysfs tree umockdev's library diverts /sys
// into: the test program runs under umockdev-wrapper for this case
// (drive_speed_window_test_links).
void DriveSpeedWindowTest::linkNoteInTheStatusTip()
{
    test::FakeSysfs sysfs;
    if (!sysfs.divertsSys())
        QSKIP("needs umockdev's preloaded library: run under umockdev-wrapper");
    struct stat st { };
    QVERIFY(::stat(directory_->path().c_str(), &st) == 0);
    const std::string added = sysfs.addModel(
        "nvme_gen3_x2", std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)), "<b>NVMe</b> 1TB");
    QVERIFY2(added.empty(), added.c_str());
    QTest::mouseClick(control(QStringLiteral("cmdCheckSpeed")), Qt::LeftButton);
    auto* status = control<QLabel>(QStringLiteral("lblStatus"));
    QCOMPARE(status->text(), kCompleted);
    QCOMPARE(QTextDocumentFragment::fromHtml(status->toolTip()).toPlainText(),
        QStringLiteral("注意：<b>NVMe</b> 1TB 的接口以 PCIe 3.0 ×2 运行，低于它支持的 PCIe 4.0 ×4，结果受接口所限"));
    // The next run starts without it.
    window_->setStatusText(std::string(bench::kWaitingText));
    QCOMPARE(status->toolTip(), QString());
}

void DriveSpeedWindowTest::driveList()
{
    // The current directory's volume comes first and is selected, whatever answers.
    const std::string here = fs::current_path().string() + "/";
    for (const bench::DriveList& list : {bench::provisionalDrives(), bench::offeredDrives()}) {
        QVERIFY(!list.entries.empty());
        QCOMPARE(list.selected, 0);
        QCOMPARE(runtime::directoryNamedBy(bench::targetPrefix(list.entries.front())).text(), here);
        for (const std::string& entry : list.entries)
            QVERIFY2(fs::is_directory(runtime::directoryNamedBy(bench::targetPrefix(entry)).text()), entry.c_str());
    }
    // When the volumes answer, the entry the user chose stays chosen.
    auto* drive1 = control<QComboBox>(QStringLiteral("Drive1"));
    QCOMPARE(drive1->currentText(), QString::fromStdString(driveText_));
    const std::string fresher = bench::targetPrefix(driveText_) + " [ext4, 1.0 GB 可用]";
    window_->offerDrives(bench::DriveList{{kDecoyEntry, "/elsewhere/ [xfs]", fresher}, 1});
    QCOMPARE(drive1->count(), 3);
    QCOMPARE(drive1->currentText(), QString::fromStdString(fresher));
    window_->offerDrives(bench::DriveList{{kDecoyEntry, "/elsewhere/ [xfs]"}, 1});
    QCOMPARE(drive1->currentText(), QStringLiteral("/elsewhere/ [xfs]"));
}

} // namespace quvo::app

QTEST_MAIN(quvo::app::DriveSpeedWindowTest)
#include "drive_speed_window_test.moc"
