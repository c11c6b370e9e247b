// SPDX-License-Identifier: MIT
#include "app/qt/held_input.h"

#include <QCoreApplication>
#include <QEvent>

#include <utility>

namespace quvo::app {
namespace {

// The user's own input, as the window system delivers it (mouse, keys, wheel, touch).
// A key that matches a shortcut (Ctrl+C) reaches its QShortcut as an event of its own,
// sent by Qt rather than delivered; the question whether a key is a shortcut
// (ShortcutOverride) only asks, and is answered.
bool isUserInput(const QEvent& event)
{
    if (event.type() == QEvent::Shortcut)
        return true;
    return event.spontaneous() && event.isInputEvent() && event.type() != QEvent::ShortcutOverride;
}

} // namespace

HeldInput::HeldInput()
{
    QCoreApplication::instance()->installEventFilter(this);
}

HeldInput::~HeldInput()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void HeldInput::hold()
{
    holding_ = true;
}

void HeldInput::release()
{
    holding_ = false;
    // Delivered as the window system delivered them, spontaneous still: a click gives
    // the focus as a click does.
    std::vector<Held> held = std::exchange(held_, {});
    for (Held& h : held)
        if (h.receiver != nullptr)
            QCoreApplication::instance()->notify(h.receiver, h.event.get());
}

bool HeldInput::eventFilter(QObject* receiver, QEvent* event)
{
    if (!holding_ || !isUserInput(*event))
        return false;
    held_.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

} // namespace quvo::app
