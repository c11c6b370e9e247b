#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Volumes that are memory beneath a disk's file system, on this machine's own devices:
# ext4 on a loop file on a tmpfs, ext4 on zram (a compressed RAM disk), and ext4 on a
# loop file on that. A complete run on each: the report names the stack down to the
# memory, says the volume is memory, every figure from memory, and the caveat once.
# Needs root (mounts, loop and zram devices); skipped elsewhere, or where there is no
# zram device to take.
# Usage: memory_stacks.sh path/to/quvo-diskspeed-cli
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
[ "$(id -u)" = 0 ] || skip "mounts, loop and zram devices need root"
needs losetup mkfs.ext4 jq
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-memory-XXXXXX")
loops=()
zram=""
cleanup() {
    # The loop devices' file systems, the loop devices, then the volumes their files are on.
    for point in "$work"/on-*/; do umount "$point" 2>/dev/null; done
    for loop in "${loops[@]}"; do losetup -d "$loop"; done
    for point in "$work"/*/; do umount "$point" 2>/dev/null; done
    [ -n "$zram" ] && echo 1 >"/sys/block/$zram/reset"
    [ -n "$zram" ] && [ -w /sys/class/zram-control/hot_remove ] && echo "${zram#zram}" >/sys/class/zram-control/hot_remove
    rm -rf "$work"
}
trap cleanup EXIT

ext4_on() { # device mount-point
    mkfs.ext4 -q "$1" && mkdir -p "$2" && mount "$1" "$2"
}
loop_on() { # image-file: a loop device over it, in $loop
    loop=$(losetup --find --show "$1") || return 1
    loops+=("$loop")
}

expect_memory() { # name directory stack (jq, from the top)
    "$cli" --json "$2" >"$work/report.json" 2>"$work/err"
    local status=$?
    [ "$status" = 0 ] || { fail "$1: exit status $status: $(cat "$work/err")"; return; }
    jq -e ".volume.memory and .volume.stack == $3 and .volume.disks == []
        and .caveat == \"注意：该卷位于内存中，结果不是磁盘的速度\"
        and ([.rows[] | select(.bytes > 0)] | all(.method == \"memory\" and .may_not_be_device))" \
        "$work/report.json" >/dev/null \
        || fail "$1: $(jq -c '[.volume, .caveat, [.rows[] | .method]]' "$work/report.json")"
    [ "$(grep -c '注意：该卷位于内存中' "$work/err")" = 1 ] || fail "$1: the caveat is not said once on stderr: $(cat "$work/err")"
    [ -z "$(ls -A "$2" | grep -v lost+found)" ] || fail "$1: left behind: $(ls -A "$2")"
}

mkdir "$work/tmpfs"
mount -t tmpfs -o size=320m tmpfs "$work/tmpfs" || skip "no tmpfs can be mounted"
truncate -s 256M "$work/tmpfs/disk.img"
loop_on "$work/tmpfs/disk.img" && ext4_on "$loop" "$work/on-tmpfs" || skip "no loop device can be made here"
expect_memory "ext4 on a loop file on a tmpfs" "$work/on-tmpfs" \
    "[{name: \"$(basename "$loop")\", kind: \"loop\", holder: null},
      {name: \"$work/tmpfs/disk.img\", kind: \"file\", holder: \"$(basename "$loop")\"},
      {name: \"tmpfs\", kind: \"memory_file_system\", holder: \"$work/tmpfs/disk.img\"}]"

# A zram device of the test's own: a new one where the kernel adds them, else zram0 unused.
if [ -r /sys/class/zram-control/hot_add ]; then
    zram="zram$(cat /sys/class/zram-control/hot_add)"
elif [ -e /sys/block/zram0 ] && [ "$(cat /sys/block/zram0/disksize)" = 0 ]; then
    zram=zram0
fi
[ -n "$zram" ] && echo 512M >"/sys/block/$zram/disksize" || { zram=""; skip "no zram device to take (modprobe zram)"; }
# Its node where /dev has none (a container's).
node=/dev/$zram
[ -b "$node" ] || { node="$work/$zram"; mknod "$node" b $(tr ':' ' ' <"/sys/block/$zram/dev"); }
ext4_on "$node" "$work/zram" || fail "ext4 on $zram cannot be made"
expect_memory "ext4 on zram" "$work/zram" "[{name: \"$zram\", kind: \"zram\", holder: null}]"

truncate -s 200M "$work/zram/disk.img"
loop_on "$work/zram/disk.img" && ext4_on "$loop" "$work/on-zram" || fail "no loop device over a file on zram"
expect_memory "ext4 on a loop file on ext4 on zram" "$work/on-zram" \
    "[{name: \"$(basename "$loop")\", kind: \"loop\", holder: null},
      {name: \"$work/zram/disk.img\", kind: \"file\", holder: \"$(basename "$loop")\"},
      {name: \"$zram\", kind: \"zram\", holder: \"$work/zram/disk.img\"}]"

finish "a loop file on a tmpfs, zram, and a loop file on zram are memory, down the stack"
