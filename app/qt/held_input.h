// SPDX-License-Identifier: MIT
// The user's clicks and keys held back while the measurement run is between its pumps,
// and handed on at the next pump in the order they came, as they were when the run held
// the window's thread. Everything else is answered at once: repaints, the window
// manager's ping, and a close, which Qt's own ExcludeUserInputEvents would hold back
// with the input.
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;

namespace quvo::app {

class HeldInput final : public QObject {
public:
    // Watches every event of the application while it lives.
    HeldInput();
    ~HeldInput() override;
    Q_DISABLE_COPY_MOVE(HeldInput)

    void hold();
    // Lets input through again, after handing on what was held, in order.
    void release();

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    struct Held {
        QPointer<QObject> receiver; // gone with its widget: the event goes with it
        std::unique_ptr<QEvent> event;
    };
    std::vector<Held> held_;
    bool holding_ = false;
};

} // namespace quvo::app
