#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command in the window test session that window_session.sh started: its
# display, its Wine prefix, its locale. Without a session it skips (status 77).
# Usage: in_window_session.sh STATE-DIRECTORY COMMAND [ARGUMENT...]
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
state=$1
shift
[ -f "$state/session" ] || skip "no window session (window_session.sh start did not run or skipped)"
. "$state/session"
export DISPLAY WINEPREFIX WINEDEBUG LANG
unset LC_ALL WAYLAND_DISPLAY
exec "$@"
