#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The drive list as users meet it: an ordinary user is offered what they can measure
# (not a root-owned volume, not one too small for a run, not a RAM disk unless they
# work on it), the current directory's volume always comes first, and a FUSE daemon
# that no longer answers keeps neither --list nor the window waiting.
# Needs root (mounts, setpriv); skipped elsewhere.
# Usage: drive_list.sh path/to/quvo-diskspeed-cli [path/to/quvo-startup-probe]
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
probe=${2:+$(realpath "$2")}
[ "$(id -u)" = 0 ] || skip "mounts and setpriv need root"
needs losetup mkfs.ext4 setpriv bindfs

work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-drives-XXXXXX")
chmod 755 "$work"
devices=()
fuse_pid=""
cleanup() {
    [ -n "$fuse_pid" ] && kill -CONT "$fuse_pid" 2>/dev/null
    for point in "$work"/*; do umount "$point" 2>/dev/null || fusermount -u "$point" 2>/dev/null; done
    for device in "${devices[@]}"; do losetup -d "$device"; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# An ext4 disk of the given size at the given directory, with the given mode.
disk() { # size directory mode
    truncate -s "$1" "$work/$(basename "$2").img"
    local device
    device=$(losetup --find --show "$work/$(basename "$2").img") || return 1
    devices+=("$device")
    mkfs.ext4 -q "$device" && mkdir -p "$2" && mount "$device" "$2" && chmod "$3" "$2"
}
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/nonexistent "$@"; }
# Milliseconds a command took; its output in $work/out.
timed() {
    local start
    start=$(date +%s%N)
    ("$@") >"$work/out" 2>"$work/err"
    status=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
}

disk 64M "$work/boot" 755 || skip "cannot make a loop disk here"
disk 2M "$work/tiny" 1777
disk 256M "$work/my disk" 1777
mkdir -p "$work/ram" && mount -t tmpfs -o size=256m,mode=1777 tmpfs "$work/ram"

(cd /tmp && as_nobody "$cli" --list) >"$work/out" 2>"$work/err"
expect_list() { # what
    local first
    first=$(head -n 1 "$work/out")
    [ "${first%% *}" = "$2" ] || fail "$1: the first entry is '$first', expected $2"
    grep -qF "$work/my\\040disk/ [ext4, " "$work/out" || fail "$1: the writable disk is not offered"
    for left_out in boot tiny; do
        ! grep -qF "$work/$left_out/" "$work/out" || fail "$1: $left_out is offered"
    done
}
expect_list "an ordinary user in /tmp" /tmp/
! grep -qF "$work/ram/" "$work/out" || fail "a RAM disk is offered to a user who does not work on it"
(cd "$work/ram" && as_nobody "$cli" --list) >"$work/out" 2>"$work/err"
expect_list "an ordinary user on a RAM disk" "$work/ram/"
cat "$work/out"
# A current directory the user may not write to is not the one offered first.
(cd / && as_nobody "$cli" --list) >"$work/out" 2>"$work/err"
expect_list "an ordinary user in /, which is not theirs" "$work/my\\040disk/"

# The disk the list offered, measured by that user.
designation=$(grep -F "my\\040disk" "$work/out" | cut -d' ' -f1)
(cd /tmp && as_nobody "$cli" "$(printf '%b' "$designation")") >"$work/run" 2>&1 \
    || fail "a run on the offered disk failed: $(tail -n 1 "$work/run")"
[ -z "$(ls -A "$work/my disk" | grep -v lost+found)" ] || fail "the run left files on the offered disk"

# A FUSE file system whose daemon is stopped: nothing may wait for it.
mkdir -p "$work/fuse-source" "$work/fuse"
bindfs "$work/fuse-source" "$work/fuse"
fuse_pid=$(pgrep -f "bindfs $work/fuse-source")
# From a process already in the mount when the daemon stopped: its own entry, unanswered.
# Nothing else may run there once it has stopped: even starting a program would wait.
in_stopped_mount() { cd "$work/fuse" && kill -STOP "$fuse_pid" && exec "$@"; }
timed in_stopped_mount timeout -k 5 10 "$cli" --list
{ [ "$status" = 0 ] && [ "$elapsed" -lt 2000 ]; } || fail "--list on the stopped mount: exit $status after $elapsed ms"
[ "$(head -n 1 "$work/out")" = "$work/fuse/ [fuse]" ] || fail "--list on the stopped mount: $(head -n 1 "$work/out")"
cd /tmp
timed timeout -k 5 10 "$cli" --list
{ [ "$status" = 0 ] && [ "$elapsed" -lt 2000 ]; } || fail "--list elsewhere: exit $status after $elapsed ms"
! grep -q "$work/fuse/" "$work/out" || fail "--list elsewhere offers the stopped mount"
if [ -n "$probe" ]; then
    timed timeout -k 5 10 env QT_QPA_PLATFORM=offscreen "$probe"
    main=$(awk '/^main / { print $2 }' "$work/out")
    shown=$(awk '/^shown / { print $2 }' "$work/out")
    { [ -n "$shown" ] && [ $(( (shown - main) / 1000 )) -lt 2000 ]; } \
        || fail "the window did not show within 2 s: $(cat "$work/out" "$work/err")"
fi
kill -CONT "$fuse_pid"

finish "the drive list offers what the user can measure and waits for no mount"
