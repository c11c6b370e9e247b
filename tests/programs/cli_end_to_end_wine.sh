#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The headless front end built for Windows, under Wine: the drive list names lettered
# drives, and complete runs on Wine's C: drive (its directory also given in the long
# form \\?\C:\...) and on a drive letter of its own (a temporary directory mapped as q:)
# work through the prefix "x:" and leave nothing.
# Usage: cli_end_to_end_wine.sh path/to/wine path/to/quvo-diskspeed-cli.exe
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
wine=$1
cli=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-wine-e2e-XXXXXX")
letter=""
cleanup() { [ -n "$letter" ] && rm -f "$WINEPREFIX/dosdevices/$letter:"; rm -rf "$work"; }
trap cleanup EXIT

# Wine reads the program's arguments in the locale's character set, and prints
# Windows line ends.
run() { LC_ALL=C.UTF-8 "$wine" "$cli" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

use_wine_prefix "$work"

# A drive letter of our own, mapped to a temporary directory.
for candidate in q r s t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$candidate:" ]; then letter=$candidate; break; fi
done
[ -n "$letter" ] || skip "no free drive letter in $WINEPREFIX"
mkdir -p "$work/mapped/子 目录"
ln -s "$work/mapped" "$WINEPREFIX/dosdevices/$letter:"

# The drive list: one "x: [...]" line per drive, C: among them.
list=$(run --list 2>/dev/null)
[ $? = 0 ] || fail "--list: exit status not 0"
[ -n "$list" ] || fail "--list: no drives"
bad=$(grep -cvE '^[a-z]: \[.+\]$' <<<"$list")
[ "$bad" = 0 ] || fail "--list: lines not of the form 'x: [...]': $list"
grep -qE '^c: \[.*NTFS.*可用\]$' <<<"$list" || fail "--list: no entry for c: with its file system and free space: $list"

# A complete run, reported as JSON, in directory (Windows path) whose Unix place is unix.
complete_run() { # windows-directory unix-directory prefix
    local out
    out=$(run --json "$1" 2>"$work/err")
    local status=$?
    [ "$status" = 0 ] || { fail "run in $1: exit status $status: $(cat "$work/err")"; return; }
    jq -e --arg prefix "$3" '.ok == true and .prefix == $prefix and (.rows | length) == 9
        and all(.rows[]; (.value | type) == "number" and .value > 0)' <<<"$out" >/dev/null \
        || fail "run in $1: unexpected report: $out"
    [ -z "$(ls -A "$2")" ] || fail "run in $1: left behind: $(ls -A "$2")"
}
mkdir -p "$WINEPREFIX/drive_c/quvo e2e 测试"
complete_run 'C:\quvo e2e 测试' "$WINEPREFIX/drive_c/quvo e2e 测试" c:
complete_run "$letter:\\子 目录" "$work/mapped/子 目录" "$letter:"

# Given in its long form, the directory is measured in place, and named in its plain form.
# Beneath C: Wine's storage stack tells one disk, its bus and no link; the method's
# version is there as on Linux.
out=$(run --json '\\?\C:\quvo e2e 测试' 2>"$work/err")
jq -e '.ok == true and .directory == "C:\\quvo e2e 测试" and .prefix == "c:" and .method_version == 1
    and .volume.stack[0] == {name: "C:\\", kind: "volume", holder: null} and (.volume.memory | not)
    and (.volume.disks | length) == 1 and .volume.disks[0].bus != null and .volume.disks[0].link == null
    and .link_note == null and all(.rows[]; .faster_than_link | not)' <<<"$out" >/dev/null \
    || fail "run in the long form of C:\\quvo e2e 测试: $out $(cat "$work/err")"
[ -z "$(ls -A "$WINEPREFIX/drive_c/quvo e2e 测试")" ] || fail "long form: left behind: $(ls -A "$WINEPREFIX/drive_c/quvo e2e 测试")"

# The same in text, from another drive's current directory: the rows and the prefix.
# What is said on stderr (a drop within the 3-second write on a busy disk) is apart.
out=$(cd / && run "$letter:\\子 目录" 2>"$work/err")
# Captured, the output is a pipe: rows without bars.
[ "$(grep -cE '^(小文件|大文件|磁盘全部|文件).* (秒|KB/秒)' <<<"$out")" = 9 ] || fail "text run: not nine row lines: $out"
head -n 1 <<<"$out" | grep -qF "... $letter:" || fail "text run: the status does not name $letter:: $out"
[ "$(tail -n 1 <<<"$out")" = "本地磁盘测试完成" ] || fail "text run: no completion message: $out"
rmdir "$WINEPREFIX/drive_c/quvo e2e 测试"

finish "all Wine end-to-end checks passed"
