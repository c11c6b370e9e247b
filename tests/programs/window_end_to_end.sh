#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program as a user runs it, on a virtual X server: it opens in the
# current directory, a click on 测试 starts a run there, and a stop request (SIGTERM,
# SIGINT, SIGHUP) in the middle of that run ends the program with exit status 0 and
# the run's test files removed. On a disk slow enough that the copy lasts seconds (a
# loop device, its transfers held to 16 MiB/s; root only), the window answers a window
# manager's ping within a second all through the run, and a close during the copy ends
# it within seconds with nothing left. Skipped where Xvfb or xdotool is missing.
# Usage: window_end_to_end.sh path/to/quvo-diskspeed
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
program=$(realpath "$1")
needs Xvfb xdotool
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-window-e2e-XXXXXX")
server=""
loop=""
throttled=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    if [ -n "$loop" ]; then
        umount "$work/slow" 2>/dev/null
        losetup -d "$loop"
    fi
    [ -n "$throttled" ] && rmdir "$throttled" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
server=$!
wait_until 10 test -s "$work/display" || skip "Xvfb did not start"
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
    wait_until 30 catches "$pid" "$number"
    xdotool mousemove --window "$window" "$button_x" "$button_y" click 1
    wait_until 15 test -e "$work/measured/DriveSpeedTest.txt" || fail "SIG$signal: the click started no run in the current directory"
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

# The window's answers to the desktop all through a run, and a close during its copy,
# on a disk whose reads and writes the block I/O controller holds to 16 MiB/s: the
# 3-second write makes about 48 MiB, which the copy takes seconds to read.
# Sets why it cannot be done where it cannot.
why=""
slow_disk() {
    [ "$(id -u)" = 0 ] || { why="not root: no loop device to slow down"; return 1; }
    /usr/bin/python3 -c 'import Xlib' 2>/dev/null || { why="python3-xlib is missing"; return 1; }
    truncate -s 512M "$work/slow.img" && mkfs.ext4 -q "$work/slow.img" || { why="no file system made"; return 1; }
    loop=$(losetup --find --show "$work/slow.img") || { why="no loop device"; return 1; }
    mkdir "$work/slow" && mount "$loop" "$work/slow" || { why="the loop device did not mount"; return 1; }
    local device rate=$((16 << 20))
    device=$(lsblk -dno MAJ:MIN "$loop" | tr -d ' ')
    if [ -d /sys/fs/cgroup/blkio ]; then
        throttled=/sys/fs/cgroup/blkio/quvo-e2e-$$
        mkdir "$throttled" && echo "$device $rate" >"$throttled/blkio.throttle.read_bps_device" \
            && echo "$device $rate" >"$throttled/blkio.throttle.write_bps_device" || { why="no blkio group"; return 1; }
    elif grep -qw io /sys/fs/cgroup/cgroup.controllers 2>/dev/null; then
        echo +io >/sys/fs/cgroup/cgroup.subtree_control 2>/dev/null
        throttled=/sys/fs/cgroup/quvo-e2e-$$
        mkdir "$throttled" && echo "$device rbps=$rate wbps=$rate" >"$throttled/io.max" || { why="no io group"; return 1; }
    else
        why="no block I/O controller to slow the disk with"
        return 1
    fi
}
if slow_disk; then
    (echo "$BASHPID" >"$throttled/cgroup.procs" && cd "$work/slow" && exec "$program") 2>"$work/err-slow" &
    pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --pid "$pid" --name "Quvo" 2>/dev/null | head -n 1)
    if [ -z "$window" ]; then
        fail "slow disk: no window after 30 s: $(cat "$work/err-slow")"
    else
        xdotool mousemove --window "$window" "$button_x" "$button_y" click 1
        /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/x11_window.py" "$window" "$pid" \
            "$work/slow/DriveSpeedTest2.txt" || fail "slow disk: the window did not answer, or did not end on a close"
        left=$(ls -A "$work/slow" | grep -v '^lost+found$')
        [ -z "$left" ] || fail "slow disk: left in the directory: $left"
    fi
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
else
    echo "not checked on a slow disk: $why"
fi

finish "the window program ends cleanly on SIGTERM, SIGINT and SIGHUP in the middle of a run"
