# SPDX-License-Identifier: MIT
# A window manager's view of a running window on X11: it pings the window a few times
# a second (_NET_WM_PING, as GNOME and KDE do to tell a hung window) until a file
# appears and has stood for a while, then asks the window to close (WM_DELETE_WINDOW, as
# its close box does) and waits for its process to end. Prints how many pings were
# answered and the slowest answer, and how long the process took to end.
#
# Usage: x11_window.py WINDOW-ID PROCESS-ID FILE
# Exit status: 0 when every ping was answered within a second and the process ended
# within ten seconds of the close; 1 otherwise; 2 when the file never appeared.
import os
import select
import sys
import time

from Xlib import X, display, protocol

PING_EVERY = 0.25  # seconds, as a window manager does it
ANSWER_WITHIN = 1.0
GIVE_UP = 10.0  # seconds an answer or the end is waited for
FILE_STANDS = 1.0  # seconds the file stands before the close


def main():
    window_id, pid, watched = int(sys.argv[1], 0), int(sys.argv[2]), sys.argv[3]
    x = display.Display()
    root = x.screen().root
    # The answer goes to the root window, to whoever listens there.
    root.change_attributes(event_mask=X.StructureNotifyMask | X.SubstructureNotifyMask)
    window = x.create_resource_object("window", window_id)
    protocols = x.intern_atom("WM_PROTOCOLS")
    ping = x.intern_atom("_NET_WM_PING")
    delete = x.intern_atom("WM_DELETE_WINDOW")

    def ask(what, stamp):
        message = protocol.event.ClientMessage(
            window=window, client_type=protocols, data=(32, [what, stamp, window_id, 0, 0]))
        window.send_event(message, event_mask=X.NoEventMask)
        x.flush()

    def answered(stamp, deadline):
        while time.monotonic() < deadline:
            while x.pending_events():
                event = x.next_event()
                if event.type == X.ClientMessage and event.client_type == protocols:
                    data = event.data[1]
                    if data[0] == ping and data[1] == stamp:
                        return True
            select.select([x.fileno()], [], [], max(0.0, deadline - time.monotonic()))
        return False

    def running():
        try:
            os.kill(pid, 0)
            return True
        except ProcessLookupError:
            return False

    answers, slowest, stamp, seen = 0, 0.0, 0, None
    started = time.monotonic()
    while running():
        stamp += 1
        asked = time.monotonic()
        ask(ping, stamp)
        if answered(stamp, asked + GIVE_UP):
            answers += 1
        slowest = max(slowest, time.monotonic() - asked)
        if seen is None and os.path.exists(watched):
            seen = time.monotonic()
        if seen is not None and time.monotonic() - seen >= FILE_STANDS:
            break
        if time.monotonic() - started > 300:
            break
        time.sleep(max(0.0, PING_EVERY - (time.monotonic() - asked)))
    print(f"pings answered: {answers}, the slowest in {slowest * 1000:.0f} ms")
    if seen is None:
        print(f"{watched} never appeared")
        return 2

    closed = time.monotonic()
    ask(delete, 0)
    while running() and time.monotonic() - closed < GIVE_UP:
        time.sleep(0.02)
    ended = not running()
    print(f"closed {FILE_STANDS:.0f} s after {os.path.basename(watched)} appeared: "
          + (f"ended after {(time.monotonic() - closed) * 1000:.0f} ms" if ended else "still running"))
    return 0 if slowest < ANSWER_WITHIN and ended else 1


if __name__ == "__main__":
    sys.exit(main())
