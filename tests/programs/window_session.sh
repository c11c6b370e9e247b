#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The session the Windows window's tests run in: a virtual X server (Xvfb) of its own
# and a fresh Wine prefix of its own, in which 宋体 and SimSun stand for AR PL UMing CN
# and MS Sans Serif for Liberation Sans, Debian's fonts with their cells and metrics.
# Nothing outside the state directory changes. "start" records the session in the
# state directory for in_window_session.sh; "stop" ends it and removes it all.
# Usage: window_session.sh start|stop STATE-DIRECTORY WINE
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
action=$1
state=$2
wine=$3
wineserver=$(dirname "$(readlink -f "$(command -v "$wine")")")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

stop() {
    if [ -f "$state/session" ]; then
        (. "$state/session" && export WINEPREFIX && "$wineserver" -k) 2>/dev/null
    fi
    [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null
    rm -rf "$state"
}

case $action in
stop)
    stop
    exit 0
    ;;
start) ;;
*) echo "usage: window_session.sh start|stop STATE-DIRECTORY WINE" >&2; exit 2 ;;
esac

stop
mkdir -p "$state"
command -v Xvfb >/dev/null || skip "no Xvfb (Debian's xvfb package)"
# The first free display from QUVO_TEST_DISPLAY (70) up, clear of the ones people
# work on. The server is no child of this script, which ends now, and keeps none of
# its output open; it writes the display's number once it listens.
for number in $(seq "${QUVO_TEST_DISPLAY:-70}" 199); do
    [ -e "/tmp/.X$number-lock" ] && continue
    setsid Xvfb ":$number" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$state/display" \
        >"$state/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
        [ -s "$state/display" ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null && break
        sleep 0.1
    done
    [ -s "$state/display" ] && break
done
[ -s "$state/display" ] || { cat "$state/xvfb.log"; stop; fail "Xvfb did not start"; finish ""; }

# The Chinese code page (936) where the locale is there, as the window's users have it.
lang=C.UTF-8
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && lang=zh_CN.UTF-8
cat >"$state/session" <<SESSION
DISPLAY=:$(tr -d '\n' <"$state/display")
WINEPREFIX=$state/prefix
WINEDEBUG=-all
LANG=$lang
SESSION
(
    . "$state/session"
    export DISPLAY WINEPREFIX WINEDEBUG LANG
    unset LC_ALL WAYLAND_DISPLAY
    "$wine" wineboot -i >/dev/null 2>&1 || exit 1
    # Wine's reg reads its arguments in the locale's character set.
    fonts='HKCU\Software\Wine\Fonts\Replacements'
    for name in 宋体 SimSun; do
        LC_ALL=C.UTF-8 "$wine" reg add "$fonts" /v "$name" /t REG_SZ /d 'AR PL UMing CN' /f >/dev/null 2>&1 || exit 1
    done
    LC_ALL=C.UTF-8 "$wine" reg add "$fonts" /v 'MS Sans Serif' /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
) || { stop; fail "no Wine prefix could be made"; finish ""; }
finish "window session on $(grep DISPLAY "$state/session"), locale $lang"
