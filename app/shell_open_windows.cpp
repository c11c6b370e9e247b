// SPDX-License-Identifier: MIT
// The Windows shell's open operation.
#include "app/shell_open.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <windows.h>

#include <shellapi.h>

namespace quvo::app {

void shellOpen(QWidget& window, const QString& address)
{
    // Eight-bit text in the system's code page, as ShellExecuteA takes it.
    const QByteArray file = address.toLocal8Bit();
    const auto owner = reinterpret_cast<HWND>(window.winId());
    ::ShellExecuteA(owner, "open", file.constData(), "", "", SW_SHOWNOACTIVATE);
}

} // namespace quvo::app
