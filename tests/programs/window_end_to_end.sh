#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program as the system runs it, on Qt's offscreen platform: it starts in
# the current directory, and a stop request (SIGTERM, SIGINT, SIGHUP) closes it at
# once with exit status 0 and nothing left in that directory.
# Usage: window_end_to_end.sh path/to/quvo-diskspeed
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-window-e2e-XXXXXX")
trap 'rm -rf "$work"' EXIT

for signal in TERM INT HUP; do
    number=$(kill -l "$signal")
    (cd "$work" && exec env QT_QPA_PLATFORM=offscreen "$program") 2>"$work/err-$signal" &
    pid=$!
    # Up when its handler is in place; a signal before that would end it the hard way.
    for _ in $(seq 300); do catches "$pid" "$number" && break; sleep 0.1; done
    catches "$pid" "$number" || { fail "SIG$signal: no handler after 30 s"; kill -KILL "$pid"; continue; }
    kill -"$signal" "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "SIG$signal: still running 10 s later"
        kill -KILL "$pid"
    fi
    wait "$pid"
    status=$?
    [ "$status" = 0 ] || fail "SIG$signal: exit status $status, expected 0"
    left=$(ls -A "$work" | grep -v '^err-' || true)
    [ -z "$left" ] || fail "SIG$signal: left in the directory: $left"
done

finish "the window program ends cleanly on SIGTERM, SIGINT and SIGHUP"
