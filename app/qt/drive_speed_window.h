// SPDX-License-Identifier: MIT
// The main window, frmDriveSpeed, and how the measurement run uses it.
//
// DriveSpeedWindow builds its controls from the layout table (window_layout.h) and
// is the run's view (bench::RunView): the run reads the drive text from Drive1 and
// writes the status into lblStatus, each row's bar into pctStatusBarDetail(i) and
// its result into lblStatusBar(i). The click of cmdCheckSpeed starts the run on a
// thread of its own (bench::RunThread) and waits for it, answering the system all the
// while; the user's input waits for the run's pumps (HeldInput). A close during a run
// stops it within the block it is moving, and the window closes once the run has
// removed its test files. Every text the window shows from outside (paths, the
// system's reasons) is plain text.
#pragma once

#include "app/qt/held_input.h"
#include "app/qt/shell_open.h"
#include "bench/drives.h"
#include "bench/result_rows.h"
#include "bench/run_thread.h"
#include "bench/run_view.h"
#include "runtime/clock.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <string_view>

class QComboBox;
class QLabel;
class QPushButton;

namespace quvo::app {

struct ControlSpec;

class DriveSpeedWindow final : public QWidget, public bench::RunView {
    Q_OBJECT

public:
    // What a click on the link does with the maker's address; the shell by default,
    // a recorder in tests.
    using LinkOpener = std::function<void(QWidget& window, const QString& address)>;

    // The clock times the measurements; the drives fill Drive1.
    DriveSpeedWindow(const bench::DriveList& drives, runtime::Clock& clock, LinkOpener openLink = shellOpen);
    ~DriveSpeedWindow() override;
    Q_DISABLE_COPY_MOVE(DriveSpeedWindow)

    // Replaces Drive1's entries, keeping the entry the user chose where it is still
    // offered.
    void offerDrives(const bench::DriveList& drives);

    std::string driveText() override;
    void setStatusText(std::string_view text) override;
    void setBarWidth(int row, float twips) override;
    void setResultText(int row, std::string_view text) override;
    // The result's tooltip says how its figure met the device.
    void rowChanged(int row) override;
    // Hands on the input held since the last pump, then lets everything through.
    void pumpEvents() override;
    const runtime::StopFlag& stopFlag() override { return run_.stopFlag(); }

    // The last run as plain text, to the clipboard: Ctrl+C, or "复制结果" in the result
    // area's context menu.
    void copyResults();
    // The run in progress, as far as the window shows it, or the last.
    const bench::RunRecord& lastRun() const { return run_.lastRun(); }

protected:
    // During a run the close waits: the run stops within its block, removes its
    // files, and the window closes then.
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls(const bench::DriveList& drives);
    void keep(const ControlSpec& spec, QWidget& control);
    void checkSpeed();
    void openMakerSite();

    // After a run, what its status text leaves unsaid: in the status line's tooltip.
    void showRunNote();

    LinkOpener openLink_;
    HeldInput heldInput_;
    bool closeRequested_ = false;

    QComboBox* drive1_ = nullptr;
    QPushButton* cmdCheckSpeed_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    std::array<QLabel*, bench::kRowCount> lblStatusBar_{};
    std::array<QWidget*, bench::kRowCount> pctStatusBarDetail_{};

    // Last: a run still in progress as the window goes is stopped while every control
    // it sets is still there.
    bench::RunThread run_;
};

} // namespace quvo::app
