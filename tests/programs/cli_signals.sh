#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Stop signals to the headless front end. SIGINT and SIGTERM at random moments of
# twenty runs: each run must end with 128 plus the signal's number and leave no test
# file, unless it had completed before the signal came. And SIGTERM in the middle of
# the two longest rows, the 3-second write and the copy, on a disk: the run must end
# within a second and a half, beside the time the file system itself takes to remove
# files of that size (the rows are abandoned between blocks, not finished). The moments
# are printed, so a failure can be replayed with the same seed: cli_signals.sh CLI [SEED].
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
seed=${2:-$$}
RANDOM=$seed
echo "seed $seed"
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-signals-XXXXXX")
cleanup() { umount "$work/tmpfs" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/tmpfs" "$work/disk"
# A tmpfs keeps a whole run near a second, so that the moments cover every row; on a
# disk a run lasts far longer and the moments fall in its first rows.
if [ "$(id -u)" = 0 ]; then mount -t tmpfs -o size=1g tmpfs "$work/tmpfs" 2>/dev/null; fi

for run in $(seq 1 20); do
    signal=$([ $((run % 2)) = 0 ] && echo INT || echo TERM)
    delay=$(printf '0.%03d' $((RANDOM % 500)))
    # A script's background job would start with SIGINT ignored, and a program keeps a
    # signal its parent ignores ignored once its run is over; a user's terminal does not.
    env --default-signal=INT,TERM "$cli" "$work/tmpfs" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1000); do
        { catches "$pid" "$(kill -l "$signal")" || ! kill -0 "$pid" 2>/dev/null; } && break
        sleep 0.01
    done
    sleep "$delay"
    delivered=true
    kill -"$signal" "$pid" 2>/dev/null || delivered=false
    wait "$pid"
    status=$?
    left=$(ls -A "$work/tmpfs")
    echo "run $run: SIG$signal after ${delay}s$($delivered || echo ", after the run had ended"), exit $status${left:+, left: $left}"
    # A run that ended before the signal came must have completed; any other must say
    # which signal stopped it.
    if $delivered; then
        [ "$status" = $((128 + $(kill -l "$signal"))) ] || fail "run $run: SIG$signal gave exit $status"
    else
        [ "$status" = 0 ] || fail "run $run: ended by itself with exit $status"
    fi
    [ -z "$left" ] || fail "run $run: left $left"
done

# Waits until what the test names is true of the run writing to out, then stops it
# with SIGTERM and says how long it took to end.
stop_during() { # what condition-command
    local what=$1
    shift
    "$cli" "$work/disk" >"$work/out" 2>&1 &
    local pid=$!
    for _ in $(seq 1200); do "$@" && break; sleep 0.05; done
    local start status elapsed sizes
    sizes=$(stat -c %s "$work/disk"/* 2>/dev/null)
    start=$(date +%s%N)
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    [ -z "$(ls -A "$work/disk")" ] || fail "SIGTERM during $what: left $(ls -A "$work/disk")"
    local removal
    removal=$(removal_ms $sizes)
    echo "SIGTERM during $what: exit $status after $elapsed ms, of which the file system's removal of files of" \
        "these sizes takes $removal ms: $(echo $sizes)"
    [ "$status" = 143 ] || fail "SIGTERM during $what: exit $status"
    [ "$elapsed" -lt $((1500 + removal)) ] || fail "SIGTERM during $what: the run took $elapsed ms to end"
}
# How long the file system takes to remove written files of the given sizes, in ms:
# multi-gigabyte files take it a second and more where the volume discards what it
# frees (ext4 mounted with discard), which no stop can shorten. (Allocated but never
# written space goes at once, so the files are written.)
removal_ms() { # size...
    local size n=0 start
    for size in "$@"; do
        dd if=/dev/zero of="$work/disk/written$n" bs=1M count=$(( (size + 1048575) / 1048576 )) conv=fsync \
            status=none || { rm -f "$work/disk"/written*; echo 0; return; }
        n=$((n + 1))
    done
    sync -f "$work/disk"
    start=$(date +%s%N)
    rm -f "$work/disk"/written*
    echo $(( ($(date +%s%N) - start) / 1000000 ))
}
in_sustained_write() { grep -q "大文件只读速度" "$work/out" && sleep 1; }
in_copy() { [ -e "$work/disk/DriveSpeedTest2.txt" ] && sleep 0.2; }
stop_during "the 3-second write" in_sustained_write
stop_during "the copy" in_copy

finish "every stop removed the test files and ended with 128 plus the signal"
