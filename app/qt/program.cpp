// SPDX-License-Identifier: MIT
#include "app/qt/program.h"

#include "app/qt/look.h"
#include "bench/drives.h"

#include <QApplication>

namespace quvo::app {

WindowProgram::WindowProgram(QApplication& app)
{
    useFixedLook(app);
    window_.emplace(bench::provisionalDrives(), clock_);
    stopSignals_.emplace(*window_);
    window_->show();
    drives_.emplace(*window_);
}

} // namespace quvo::app
