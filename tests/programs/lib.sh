# SPDX-License-Identifier: MIT
# Sourced by every script here, which each drive a built program: one way to count
# failures, to skip (on a missing command too), to wait for a state, to run Wine, and to end.
# shellcheck shell=bash

failures=0

# Counts a failure and says what it was; the script goes on to check the rest.
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Ends the script as skipped (CTest's SKIP_RETURN_CODE 77), saying why; after a failed
# check it ends as failed, since a skip would hide the failure.
skip() {
    [ "$failures" = 0 ] || { echo "not skipped, since a check failed before: $*"; exit 1; }
    echo "SKIP: $*"
    exit 77
}

# Skips the script unless every command named is installed.
needs() { for tool; do command -v "$tool" >/dev/null || skip "$tool is missing"; done; }

# Ends the script: its summary when nothing failed, else status 1 (never 77, however
# many failed).
finish() {
    [ "$failures" = 0 ] && echo "$1"
    exit $((failures > 0))
}

# Whether process $1 has a handler for signal number $2 (its caught-signals mask): a
# signal sent before that would end it the hard way.
catches() {
    local mask
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
    [ -n "$mask" ] && (( (16#$mask >> ($2 - 1)) & 1 ))
}

# Waits for a state: runs the command every hundredth of a second until it succeeds,
# and returns 1 if it has not within the seconds given (a whole number, by the clock).
wait_until() { # seconds command...
    local end=$((SECONDS + $1))
    until "${@:2}"; do
        ((SECONDS < end)) || return 1
        sleep 0.01
    done
}

# Wine with no display and no debug output, in the prefix WINEPREFIX names or, where it
# names none, a new one in the directory given.
use_wine_prefix() { # directory
    export WINEDEBUG=-all
    unset DISPLAY WAYLAND_DISPLAY
    if [ -z "${WINEPREFIX:-}" ]; then
        export WINEPREFIX="$1/prefix"
        wineboot -i >/dev/null 2>&1 || skip "no Wine prefix could be made"
    fi
    [ -d "$WINEPREFIX/drive_c" ] || skip "$WINEPREFIX is no Wine prefix"
}
