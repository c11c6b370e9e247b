// SPDX-License-Identifier: MIT
// Windows asks a program with a window to end through that window (a close, or the
// end of the session, which Qt turns into a close): nothing to add.
#include "app/stop_signals.h"

namespace quvo::app {

struct CloseOnStopSignals::State { };

CloseOnStopSignals::CloseOnStopSignals(QWidget& /*window*/)
{
}

CloseOnStopSignals::~CloseOnStopSignals() = default;

} // namespace quvo::app
