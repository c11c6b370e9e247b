// SPDX-License-Identifier: MIT
// quvo-window-shot: the window as a user sees it after a complete run, rendered to a
// PNG. The run works in a fresh temporary directory, made the current directory so
// that the drive list selects it, and must leave no test file there.
// Usage: quvo-window-shot [--before-run] OUTPUT.png
#include "app/qt/drive_speed_window.h"
#include "app/qt/look.h"
#include "bench/drives.h"
#include "runtime/clock.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const bool beforeRun = args.removeAll(QStringLiteral("--before-run")) > 0;
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: quvo-window-shot [--before-run] OUTPUT.png\n");
        return 2;
    }
    const QString output = QFileInfo(args.front()).absoluteFilePath();

    QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/quvo-shot-XXXXXX"));
    const QString previous = QDir::currentPath();
    if (!directory.isValid() || !QDir::setCurrent(directory.path())) {
        std::fprintf(stderr, "quvo-window-shot: no temporary directory\n");
        return 1;
    }

    quvo::app::useFixedLook(app);
    quvo::runtime::SteadyClock clock;
    quvo::app::DriveSpeedWindow window(quvo::bench::offeredDrives(), clock, [](QWidget&, const QString&) {});
    window.show();
    QCoreApplication::processEvents();
    if (!beforeRun)
        window.findChild<QPushButton*>(QStringLiteral("cmdCheckSpeed"))->click();
    QCoreApplication::processEvents();

    const QString status = window.findChild<QLabel*>(QStringLiteral("lblStatus"))->text();
    std::printf("status: %s\n", qPrintable(status));
    for (int row = 0; row < 9; ++row)
        std::printf("row %d: %s\n", row,
            qPrintable(window.findChild<QLabel*>(QStringLiteral("lblStatusBar(%1)").arg(row))->text()));
    const QStringList left = QDir(directory.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    std::printf("left in %s: %s\n", qPrintable(directory.path()),
        left.isEmpty() ? "nothing" : qPrintable(left.join(QStringLiteral(", "))));

    QDir::setCurrent(previous);
    if (!window.grab().save(output)) {
        std::fprintf(stderr, "quvo-window-shot: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("written: %s\n", qPrintable(output));
    return left.isEmpty() ? 0 : 1;
}
