#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SIGINT and SIGTERM at random moments of twenty headless runs: each run must end with
# a non-zero status and leave no test file. The moments are printed, so a failure can
# be replayed with the same seed: signals.sh CLI [SEED].
set -u
cli=$1
seed=${2:-$$}
RANDOM=$seed
echo "seed $seed"
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-signals-XXXXXX")
cleanup() { umount "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
# A tmpfs keeps a whole run near a second, so that the moments cover every row; on a
# disk a run lasts far longer and the moments fall in its first rows.
if [ "$(id -u)" = 0 ]; then mount -t tmpfs -o size=1g tmpfs "$work" 2>/dev/null; fi

failures=0
for run in $(seq 1 20); do
    signal=$([ $((run % 2)) = 0 ] && echo INT || echo TERM)
    delay=$(printf '0.%03d' $((RANDOM % 500)))
    "$cli" "$work" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    delivered=true
    kill -"$signal" "$pid" 2>/dev/null || delivered=false
    wait "$pid"
    status=$?
    left=$(ls -A "$work")
    echo "run $run: SIG$signal after ${delay}s$($delivered || echo ", after the run had ended"), exit $status${left:+, left: $left}"
    # A run that ended before the signal came must have completed; any other must not claim to.
    if $delivered && [ "$status" = 0 ] || ! $delivered && [ "$status" != 0 ] || [ -n "$left" ]; then
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
