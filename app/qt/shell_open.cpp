// SPDX-License-Identifier: MIT
// The desktop's URL opener.
#include "app/qt/shell_open.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace quvo::app {

void shellOpen(QWidget& /*window*/, const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

} // namespace quvo::app
