// SPDX-License-Identifier: MIT
// Handing an address to the desktop's default opener, as a click on a link does.
#pragma once

class QString;
class QWidget;

namespace quvo::app {

// Asks the desktop to open address (a web page in the default browser: xdg-open and
// its kin on Linux). The outcome is not examined and nothing is shown when nothing can
// open it.
void shellOpen(QWidget& window, const QString& address);

} // namespace quvo::app
