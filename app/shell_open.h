// SPDX-License-Identifier: MIT
// Handing an address to the system's default opener, as a click on a link does.
#pragma once

class QString;
class QWidget;

namespace quvo::app {

// Asks the desktop to open address (a web page in the default browser). The outcome
// is not examined and nothing is shown when nothing can open it. On Windows this is
// the shell's "open" operation, owned by window and shown without activation.
void shellOpen(QWidget& window, const QString& address);

} // namespace quvo::app
