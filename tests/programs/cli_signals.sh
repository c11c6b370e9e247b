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

# Whether process $1 has its handler for signal number $2 in place, or has ended.
handles_or_ended() { catches "$1" "$2" || ! kill -0 "$1" 2>/dev/null; }

for run in $(seq 1 20); do
    signal=$([ $((run % 2)) = 0 ] && echo INT || echo TERM)
    delay=$(printf '0.%03d' $((RANDOM % 500)))
    # A script's background job would start with SIGINT ignored, and a program keeps a
    # signal its parent ignores ignored once its run is over; a user's terminal does not.
    env --default-signal=INT,TERM "$cli" "$work/tmpfs" >/dev/null 2>&1 &
    pid=$!
    wait_until 10 handles_or_ended "$pid" "$(kill -l "$signal")" || {
        fail "run $run: no handler for SIG$signal after 10 s"; kill -KILL "$pid"; wait "$pid" 2>/dev/null; continue
    }
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

# Starts a run on the disk and waits until it shows the row before the one the test
# names, then stops it delay seconds into that row with SIGTERM: says how long it took
# to end, and fails where the row had ended first.
stop_during() { # what caption-of-the-row-before caption-of-the-row delay
    local what=$1 before=$2 row=$3 delay=$4
    "$cli" "$work/disk" >"$work/out" 2>&1 &
    local pid=$!
    wait_until 60 grep -q "^$before" "$work/out" || {
        fail "SIGTERM during $what: the run had not begun it after 60 s: $(cat "$work/out")"
        kill -KILL "$pid"; wait "$pid" 2>/dev/null; rm -f "$work/disk"/*; return
    }
    sleep "$delay"
    local start status elapsed sizes
    sizes=$(stat -c %s "$work/disk"/* 2>/dev/null)
    start=$(date +%s%N)
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    ! grep -q "^$row" "$work/out" || fail "SIGTERM during $what: the row had ended before the signal came"
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
# A second into the 3-second write; a fifth of a second into the copy of what it wrote.
stop_during "the 3-second write" "大文件只读速度" "磁盘全部写入速度" 1
stop_during "the copy" "文件查找速度" "文件复制速度" 0.2

finish "every stop removed the test files and ended with 128 plus the signal"
