#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Disks this machine lacks, faked with umockdev: a complete run in a directory whose
# volume the program finds, through /sys, on a USB 3 stick running at 480 Mb/s, on an
# NVMe drive at PCIe 3.0 ×2 that can do 4.0 ×4, and on a SATA disk at 6 Gb/s (the models
# of tests/support/devices/, their partition numbered as the directory's own device).
# The figures are this machine's disk's; the report holds each against the fake link: the
# disk, its link and ceiling, a row flagged exactly where its bytes a second pass the
# ceiling, the caveat naming the link, a link below what the disk can do said once (in
# the report and on stderr), and the link in the Prometheus file.
# Usage: device_links.sh path/to/quvo-diskspeed-cli
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
models=$(cd "$(dirname "${BASH_SOURCE[0]}")/../support/devices" && pwd)
needs umockdev-run jq
# The preloaded library comes before a sanitized program's runtime.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

# Here, not in a temporary directory that may be a tmpfs: the directory's file system
# must lie on a block device of its own, which the fake partition stands in for.
work=$(mktemp -d "$PWD/quvo-links-XXXXXX")
trap 'rm -rf "$work"' EXIT
device=$(stat -c '%Hd:%Ld' "$work")
[ -e "/sys/dev/block/$device" ] || skip "$work lies on no block device of its own ($device): btrfs, overlay or memory"

run() { # model: a run on it, its report in $work/report.json, stderr in $work/err
    sed "s/@DEVICE@/$device/" "$models/$1.umockdev" >"$work/$1.umockdev"
    mkdir -p "$work/$1"
    # umockdev numbers a block device with no "block" directory in its path (an NVMe
    # namespace's) under /sys/dev/char; the kernel, and the program, under /sys/dev/block.
    umockdev-run -d "$work/$1.umockdev" -- sh -c '
        mkdir -p "$UMOCKDEV_DIR/sys/dev/block"
        for number in "$UMOCKDEV_DIR"/sys/dev/char/*; do
            [ "$(basename "$(readlink "$number/subsystem")")" = block ] && mv "$number" "$UMOCKDEV_DIR/sys/dev/block/"
        done
        exec "$@"' run "$cli" --json --prometheus "$work/$1.prom" "$work/$1" >"$work/report.json" 2>"$work/err"
    local status=$?
    [ "$status" = 0 ] || fail "$1: exit status $status: $(cat "$work/err")"
    [ -z "$(ls -A "$work/$1")" ] || fail "$1: left behind: $(ls -A "$work/$1")"
}

expect() { # model jq-condition
    jq -e "$2" "$work/report.json" >/dev/null \
        || fail "$1: $2 does not hold of $(jq -c '[.volume.disks, .caveat, .link_note, [.rows[] | [.id, .bytes, .seconds, .faster_than_link, .may_not_be_device]]]' "$work/report.json")"
}

# Each row is flagged exactly where bytes / seconds passes the ceiling, and a flagged row
# is one that may not be the device's, named in the caveat with the link.
flagged() { # ceiling link-name
    echo "(.rows | all((.faster_than_link == (.bytes > 0 and .bytes > $1 * .seconds))
                       and (.may_not_be_device or (.faster_than_link | not))))
          and ([.rows[] | select(.faster_than_link)] as \$fast
               | if (\$fast | length) == 0 then .caveat == null or (.caveat | contains(\"$2\") | not)
                 else (.caveat | startswith(\"注意：\") and contains(\"这些结果快于 $2 接口的上限，不是磁盘本身的速度：\"))
                      and all(\$fast[]; .name as \$name | \$report.caveat | contains(\$name)) end)"
}

said_once() { # model text: on stderr once, after the program's name
    [ "$(grep -cxF "quvo-diskspeed-cli：$2" "$work/err")" = 1 ] || fail "$1: stderr does not say once: $2: $(cat "$work/err")"
}

run usb_stick
expect usb_stick '.volume.stack == [{"name": "sdb1", "kind": "partition", "holder": null},
                                   {"name": "sdb", "kind": "disk", "holder": "sdb1"}]
    and .volume.disks == [{"name": "sdb", "vendor": "SanDisk", "model": "Ultra Fit", "bus": "usb",
        "link": {"kind": "usb", "speed_mbps": 480, "lanes": 1, "generation": null, "capable_speed_mbps": 5000,
                 "capable_lanes": 1, "capable_generation": null, "ceiling_bytes_per_second": 60000000,
                 "below_capable": true}}]'
expect usb_stick ". as \$report | $(flagged 60000000 "USB 2.0")"
# This disk reads faster than 60 MB/s: some row must be flagged, or the check above was idle.
if jq -e '[.rows[] | select(.faster_than_link)] | length > 0' "$work/report.json" >/dev/null; then
    said_once usb_stick "$(jq -r .caveat "$work/report.json")"
else
    echo "note: no row of this disk passed USB 2.0's 60 MB/s"
fi
stick_note="注意：Ultra Fit 的接口以 USB 2.0 运行，低于它支持的 USB 5Gbps，结果受接口所限"
expect usb_stick ".link_note == \"$stick_note\""
said_once usb_stick "$stick_note"

run nvme_gen3_x2
expect nvme_gen3_x2 '.volume.disks == [{"name": "nvme0n1", "vendor": null, "model": "Samsung SSD 980 PRO 1TB",
    "bus": "nvme", "link": {"kind": "pcie", "speed_mbps": 8000, "lanes": 2, "generation": 3,
        "capable_speed_mbps": 16000, "capable_lanes": 4, "capable_generation": 4,
        "ceiling_bytes_per_second": 1969230768, "below_capable": true}}]'
expect nvme_gen3_x2 ". as \$report | $(flagged 1969230768 "PCIe 3.0 ×2")"
nvme_note="注意：Samsung SSD 980 PRO 1TB 的接口以 PCIe 3.0 ×2 运行，低于它支持的 PCIe 4.0 ×4，结果受接口所限"
expect nvme_gen3_x2 ".link_note == \"$nvme_note\""
said_once nvme_gen3_x2 "$nvme_note"
# The method's version and the link, as Prometheus' own parser reads them.
if /usr/bin/python3 -c 'import prometheus_client' 2>/dev/null; then
    /usr/bin/python3 - "$work/nvme_gen3_x2.prom" <<'PY' || fail "nvme_gen3_x2: the Prometheus file: $(cat "$work/nvme_gen3_x2.prom")"
import sys
from prometheus_client.parser import text_string_to_metric_families
families = {f.name: f for f in text_string_to_metric_families(open(sys.argv[1], encoding="utf-8").read())}
assert families["quvo_diskspeed_info"].samples[0].labels["method_version"] == "1"
disk = families["quvo_diskspeed_disk_info"].samples
assert [s.labels for s in disk] == [{"disk": "nvme0n1", "bus": "nvme", "vendor": "", "model": "Samsung SSD 980 PRO 1TB"}], disk
link = families["quvo_diskspeed_link_info"].samples
assert [s.labels for s in link] == [{"disk": "nvme0n1", "link": "pcie", "speed_mbps": "8000", "lanes": "2",
                                     "capable_speed_mbps": "16000", "capable_lanes": "4"}], link
ceilings = {s.labels["state"]: s.value for s in families["quvo_diskspeed_link_ceiling_bytes_per_second"].samples}
assert ceilings == {"current": 1969230768, "capable": 7876923076}, ceilings
PY
fi

run sata_disk
expect sata_disk '.volume.disks == [{"name": "sda", "vendor": null, "model": "Samsung SSD 860 EVO 500GB", "bus": "sata",
    "link": {"kind": "sata", "speed_mbps": 6000, "lanes": 1, "generation": null, "capable_speed_mbps": 6000,
             "capable_lanes": 1, "capable_generation": null, "ceiling_bytes_per_second": 600000000,
             "below_capable": false}}] and .link_note == null'
expect sata_disk ". as \$report | $(flagged 600000000 "SATA 6Gb/s")"
! grep -q "接口以" "$work/err" || fail "sata_disk: a link note for a link that runs as fast as the disk: $(cat "$work/err")"

finish "each fake disk's link, its ceiling, the rows past it and the link below the disk's own, as the program reports them"
