#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program as a user runs it, on a virtual X server: it opens in the
# current directory, a click on 测试 starts a run there, and a stop request (SIGTERM,
# SIGINT, SIGHUP) in the middle of that run ends the program with exit status 0 and
# the run's test files removed. Skipped where Xvfb or xdotool is missing.
# Usage: window_end_to_end.sh path/to/quvo-diskspeed
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
program=$(realpath "$1")
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-window-e2e-XXXXXX")
server=""
cleanup() { [ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || skip "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
mkdir "$work/measured"

# cmdCheckSpeed's centre, in pixels from the client area's corner: twips (5040, 60)
# and 1125 × 315, at 15 twips a pixel.
button_x=$(( (5040 + 1125 / 2) / 15 ))
button_y=$(( (60 + 315 / 2) / 15 ))

for signal in TERM INT HUP; do
    number=$(kill -l "$signal")
    (cd "$work/measured" && exec "$program") 2>"$work/err-$signal" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name "Quvo" 2>/dev/null | head -n 1)
    if [ -z "$window" ]; then
        fail "SIG$signal: no window after 30 s: $(cat "$work/err-$signal")"
        kill -KILL "$pid"
        continue
    fi
    # Up when its handler is in place; a signal before that would end it the hard way.
    for _ in $(seq 300); do catches "$pid" "$number" && break; sleep 0.1; done
    xdotool mousemove --window "$window" "$button_x" "$button_y" click 1
    for _ in $(seq 300); do [ -e "$work/measured/DriveSpeedTest.txt" ] && break; sleep 0.05; done
    [ -e "$work/measured/DriveSpeedTest.txt" ] || fail "SIG$signal: the click started no run in the current directory"
    kill -"$signal" "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "SIG$signal: still running 10 s later"
        kill -KILL "$pid"
    fi
    wait "$pid"
    status=$?
    [ "$status" = 0 ] || fail "SIG$signal: exit status $status, expected 0"
    left=$(ls -A "$work/measured")
    [ -z "$left" ] || fail "SIG$signal: left in the directory: $left"
    rm -rf "${work:?}/measured"/*
done

finish "the window program ends cleanly on SIGTERM, SIGINT and SIGHUP in the middle of a run"
