#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Two runs at once, as users start them from two terminals: on one directory the
# second is refused at once and the first goes on untouched; in two directories of one
# volume neither drives the volume into the reserve nor ends in "No space left".
# The second case needs a volume of its own (a tmpfs, as root) and is skipped elsewhere.
# Usage: concurrent_runs.sh path/to/quvo-diskspeed-cli one-directory|two-directories
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
case=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-concurrent-XXXXXX")
cleanup() { umount "$work/volume" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/volume"
if ! { [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=512m tmpfs "$work/volume" 2>/dev/null; }; then
    [ "$case" = two-directories ] && skip "needs root for a volume of its own"
fi

# One directory: the second run starts once the first has shown a row.
one_directory() {
shared="$work/volume/shared"
mkdir "$shared"
"$cli" "$shared" >"$work/first" 2>&1 &
first=$!
row_line='^(小文件|大文件|磁盘全部|文件).* (秒|KB/秒)$'
for _ in $(seq 600); do grep -qE "$row_line" "$work/first" && break; sleep 0.05; done
start=$(date +%s%N)
"$cli" "$shared" >"$work/second" 2>&1
second_status=$?
second_ms=$(( ($(date +%s%N) - start) / 1000000 ))
wait "$first"
first_status=$?
[ "$second_status" = 1 ] || fail "the second run on one directory: exit $second_status, expected 1"
grep -q "另一个测试正在使用该目录" "$work/second" || fail "the second run does not say why: $(cat "$work/second")"
[ "$second_ms" -lt 1000 ] || fail "the second run took $second_ms ms to refuse"
[ "$first_status" = 0 ] || fail "the first run on one directory: exit $first_status: $(tail -n 1 "$work/first")"
[ "$(grep -cE "$row_line" "$work/first")" = 9 ] || fail "the first run did not show nine rows"
if compgen -G "$shared/DriveSpeedTest*" >/dev/null; then fail "test files left in the shared directory"; fi
}

# Two directories of one volume, at once, while the free space is watched.
two_directories() {
    mkdir "$work/volume/a" "$work/volume/b"
    reserve=$(( $(stat -f -c '%b * %S' "$work/volume") / 10 ))
    least=$(( $(stat -f -c "%a * %S" "$work/volume") ))
    "$cli" "$work/volume/a" >"$work/a" 2>&1 &
    a=$!
    "$cli" "$work/volume/b" >"$work/b" 2>&1 &
    b=$!
    while kill -0 "$a" 2>/dev/null || kill -0 "$b" 2>/dev/null; do
        free=$(( $(stat -f -c '%a * %S' "$work/volume") ))
        [ "$free" -lt "$least" ] && least=$free
    done
    wait "$a"; a_status=$?
    wait "$b"; b_status=$?
    for run in a b; do
        status_var=${run}_status
        case ${!status_var} in
        0) ;;
        1) grep -q "磁盘可用空间不足" "$work/$run" || fail "run $run failed otherwise: $(tail -n 1 "$work/$run")" ;;
        *) fail "run $run: exit ${!status_var}" ;;
        esac
        ! grep -q "No space left" "$work/$run" || fail "run $run filled the volume"
    done
    # The watcher samples; allow it the few MiB one run writes between its looks.
    [ "$least" -ge $(( reserve - (8 << 20) )) ] || fail "free space fell to $least bytes, below the reserve of $reserve"
    echo "two directories: exits $a_status and $b_status; least free $least bytes, reserve $reserve"
}

case $case in
one-directory) one_directory ;;
two-directories) two_directories ;;
*) echo "unknown case $case"; exit 2 ;;
esac

finish "concurrent runs keep to their own files and to the reserve"
