#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the report says of the volumes users mistrust figures on: a tmpfs (memory), btrfs
# compressing everything (compression, copy-on-write; on a loop file, the stack down to
# this machine's disk and its bus), an NTFS disk served by ntfs-3g (FUSE, named ntfs
# rather than fuseblk) and a bindfs directory (FUSE). A complete run on each, its report
# read back: the volume's flags, how each row's data met the device, and the caveat
# where a figure is memory's. Then a btrfs qgroup smaller than the 3-second write.
# Needs root (mounts, loop devices) and a directory on a disk for the loop files;
# skipped elsewhere.
# Usage: volumes.sh path/to/quvo-diskspeed-cli
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
[ "$(id -u)" = 0 ] || skip "mounts and loop devices need root"
needs losetup mkfs.btrfs btrfs mkntfs ntfs-3g bindfs jq
# The loop devices' files on a disk: on a tmpfs their volumes would be memory.
work=$(mktemp -d /var/tmp/quvo-volumes-XXXXXX)
[ "$(stat -f -c %T "$work")" != tmpfs ] || { rmdir "$work"; skip "/var/tmp is a tmpfs: no disk for the loop files"; }
devices=()
cleanup() {
    for point in "$work"/*/; do umount "$point" 2>/dev/null; done
    for device in "${devices[@]}"; do losetup -d "$device"; done
    rm -rf "$work"
}
trap cleanup EXIT

disk() { # size mkfs-command... : a loop device of that size made so, in $device
    local image="$work/disk${#devices[@]}.img"
    truncate -s "$1" "$image"
    device=$(losetup --find --show "$image") || return 1
    devices+=("$device")
    "${@:2}" "$device" >/dev/null 2>&1
}

# Rows that move data must say how it met the device: past the cache, or through it and
# shown gone from it after the write; with no caveat.
device_rows='.caveat == null and ([.rows[] | select(.bytes > 0)]
    | all(.method == "direct" or (.method == "buffered_dropped" and .dropped_from_cache)))'

# Runs in directory and checks the report's volume, then the whole report, against jq
# conditions.
expect_volume() { # name directory volume-condition report-condition
    "$cli" --json "$2" >"$work/report.json" 2>"$work/err"
    local status=$?
    [ "$status" = 0 ] || { fail "$1: exit status $status: $(cat "$work/err")"; return; }
    jq -e ".volume | $3" "$work/report.json" >/dev/null || fail "$1: $(jq -c .volume "$work/report.json")"
    jq -e "$4" "$work/report.json" >/dev/null \
        || fail "$1: $(jq -c '[.caveat, [.rows[] | [.method, .dropped_from_cache]]]' "$work/report.json")"
    # Said once on stderr exactly where the report says it (a drop within the 3-second
    # write is a note of its own, no caveat).
    local caveat
    caveat=$(jq -r '.caveat // empty' "$work/report.json")
    [ "$(grep '注意' "$work/err" | grep -vc '3 秒持续写入中')" = "$([ -n "$caveat" ] && echo 1 || echo 0)" ] \
        || fail "$1: stderr and the report disagree on the caveat: $(cat "$work/err")"
    [ -z "$(ls -A "$2")" ] || fail "$1: left behind: $(ls -A "$2")"
}

# Every volume is made before the first check, so that one that cannot be made here
# skips the test before anything is checked.
mkdir "$work/tmpfs" "$work/btrfs" "$work/ntfs" "$work/bindfs" "$work/under" "$work/quota"
mount -t tmpfs -o size=256m tmpfs "$work/tmpfs" || skip "no tmpfs can be mounted"
disk 512M mkfs.btrfs -q -f && mount -o compress-force=zstd "$device" "$work/btrfs" \
    || skip "no btrfs can be made here"
btrfs_loop=$(basename "$device")
disk 256M mkntfs -F -Q -q && ntfs-3g "$device" "$work/ntfs" || skip "no NTFS disk can be mounted here"
bindfs "$work/under" "$work/bindfs" || skip "bindfs cannot mount here"
# A btrfs subvolume whose qgroup allows 100 MiB, less than the 3-second write takes on a
# disk here even when others load it.
disk 2G mkfs.btrfs -q -f && mount "$device" "$work/quota" \
    && btrfs quota enable "$work/quota" && btrfs subvolume create "$work/quota/limited" >/dev/null \
    && btrfs qgroup limit 100M "$work/quota/limited" || skip "no btrfs qgroup can be set here"

expect_volume tmpfs "$work/tmpfs" \
    '.file_system == "tmpfs" and .memory and (.fuse | not) and (.network | not) and .compression == false' \
    '.caveat != null and ([.rows[] | select(.bytes > 0)] | all(.method == "memory" and .may_not_be_device))'
# Beneath the loop device, its file and the disk that holds it, named with its bus as
# sysfs names the disk's (virtio, nvme), or some bus where sysfs knows it by another name.
beneath="true"
if holder=$(readlink -e "/sys/dev/block/$(stat -c '%Hd:%Ld' "$work")"); then
    [ -e "$holder/partition" ] && holder=$(dirname "$holder")
    bus=$(basename "$(readlink -f "$holder/device/subsystem")")
    case "$bus" in virtio | nvme) bus_is="== \"$bus\"" ;; *) bus_is="!= null" ;; esac
    beneath=".disks[-1].name == \"$(basename "$holder")\" and .disks[-1].bus $bus_is"
    echo "btrfs on a loop file: the disk beneath is $(basename "$holder"), on $bus"
fi
expect_volume "btrfs, compressing" "$work/btrfs" \
    ".file_system == \"btrfs\" and .compression == true and .copy_on_write and (.memory | not) and (.fuse | not)
     and .stack[0] == {name: \"$btrfs_loop\", kind: \"loop\", holder: null}
     and .stack[1] == {name: \"$work/disk0.img\", kind: \"file\", holder: \"$btrfs_loop\"} and $beneath" \
    "$device_rows"
expect_volume "ntfs-3g" "$work/ntfs" \
    '.file_system == "ntfs" and .mount_type == "fuseblk" and .fuse and .compression == null' "$device_rows"
umount "$work/ntfs"
expect_volume bindfs "$work/bindfs" '.fuse and (.memory | not)' "$device_rows"

# On the quota's subvolume the run completes, its window cut short by the quota. A
# disk that writes less than the quota in 3 s cannot show it: skipped, unless a check
# above failed (lib.sh's skip).
"$cli" --json "$work/quota/limited" >"$work/report.json" 2>"$work/err" \
    || fail "quota: exit status $?: $(cat "$work/err")"
[ -z "$(ls -A "$work/quota/limited")" ] || fail "quota: left behind: $(ls -A "$work/quota/limited")"
jq -e '.ok and ([.rows[] | .id] | length) == 9' "$work/report.json" >/dev/null \
    || fail "quota: $(jq -c '[.status, [.rows[] | [.id, .bytes, .cut_short]]]' "$work/report.json")"
sustained=$(jq -c '.rows[4] | [.cut_short, .bytes]' "$work/report.json")
echo "quota: row 4 $sustained"
case "$sustained" in
'["quota",'*) ;;
'[null,'*) skip "the disk wrote less than the quota in 3 s: $sustained" ;;
*) fail "quota: row 4 $sustained" ;;
esac

finish "the report says what each volume is (memory, compressing, FUSE), how each row met it, and a quota ends the 3-second write"
