#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The headless front end as a user runs it: usage errors, complete runs on the root
# file system and on a tmpfs, JSON that parses, a failing target, and a signal.
# Usage: cli_end_to_end.sh path/to/quvo-diskspeed-cli
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-e2e-XXXXXX")
cleanup() { umount "$work/tmpfs" "$work/readonly" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

expect_status() { # expected actual what
    [ "$1" = "$2" ] || fail "$3: exit status $2, expected $1"
}
expect_no_test_files() { # directory what
    if compgen -G "$1/DriveSpeedTest*" >/dev/null; then fail "$2: test files left in $1"; fi
}
root=false
if [ "$(id -u)" = 0 ] && mkdir -p "$work/tmpfs" && mount -t tmpfs -o size=1g tmpfs "$work/tmpfs" 2>/dev/null; then
    root=true
fi

# Bad usage: exit 2 with the usage line.
for args in "--fast" "$work/missing" "/etc/hostname" "a b" "--list $work"; do
    "$cli" $args >/dev/null 2>"$work/err"
    expect_status 2 $? "usage: $args"
    grep -q "用法" "$work/err" || fail "usage: $args: no usage line"
done
"$cli" --help >"$work/out"
expect_status 0 $? "--help"
grep -q "用法" "$work/out" || fail "--help: no usage line"

# A complete run in a directory named with a blank, Chinese and a leading dash.
odd="$work/-磁盘 测试"
mkdir "$odd"
(cd "$work" && "$cli" -- "-磁盘 测试") >"$work/out" 2>"$work/err"
expect_status 0 $? "complete run"
rows=$(grep -cE "^(小文件|大文件|磁盘全部|文件).* (秒|KB/秒)$" "$work/out")
[ "$rows" = 9 ] || fail "complete run: $rows row lines, expected 9"
# Into a pipe or a file: plain numbers, no bars and no grouping separators.
! grep -qE "│|[0-9],[0-9]{3}" "$work/out" || fail "complete run: bars or grouping in piped output"
[ "$(tail -n 1 "$work/out")" = "本地磁盘测试完成" ] || fail "complete run: no completion message"
head -n 1 "$work/out" | grep -qF -- '-磁盘\040测试/' || fail "complete run: status does not name the escaped directory"
expect_no_test_files "$odd" "complete run"

# JSON, on a tmpfs where one can be mounted.
target=$odd
if $root; then target="$work/tmpfs"; fi
"$cli" --json "$target" >"$work/json"
expect_status 0 $? "json run on $target"
jq -e '.ok == true and .error == null and .status == "本地磁盘测试完成" and (.rows | length) == 9
       and ([.rows[] | select(.kind == "speed")] | map(.row)) == [4, 5]
       and all(.rows[]; (.value | type) == "number" and (.bar_twips | type) == "number" and (.text | length) > 0)' \
    "$work/json" >/dev/null || fail "json run: unexpected report: $(cat "$work/json")"
expect_no_test_files "$target" "json run"
# The fields docs/report.md gives, as a script in another language reads them.
python3 - "$work/json" <<'PY' || fail "json run: the report lacks documented fields: $(cat "$work/json")"
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
assert report["schema"] == 3 and isinstance(report["version"], str)
assert report["started"].endswith("Z") and report["ok"] is True and report["error"] is None
assert report["locked"] is True
volume = report["volume"]
assert all(isinstance(volume[k], str) for k in ("mount_point", "file_system", "device"))
assert all(isinstance(volume[k], int) and volume[k] > 0 for k in ("total_bytes", "available_bytes"))
ids = ["small_write", "small_read", "large_write", "large_read", "sustained_write", "read_back", "lookup", "copy", "delete"]
assert [row["id"] for row in report["rows"]] == ids
for row in report["rows"]:
    assert row["unit"] == ("KB/s" if row["kind"] == "speed" else "s")
    assert isinstance(row["bytes"], int) and isinstance(row["seconds"], float) and row["seconds"] >= 0
    assert row["cut_short"] in (None, "space", "file_size_limit")
    assert (row["bytes"] > 0) == (row["id"] not in ("lookup", "delete"))
rows = {row["id"]: row for row in report["rows"]}
assert rows["small_write"]["bytes"] == 1024000 and rows["large_read"]["bytes"] == 10240000
assert rows["read_back"]["bytes"] == rows["copy"]["bytes"] == rows["sustained_write"]["bytes"]
assert rows["sustained_write"]["bytes"] % 1025 == 0
sustained = rows.pop("sustained_write")
quarters = sustained["bytes_at_quarter_seconds"]
assert quarters == sorted(quarters) and all(q % 1025 == 0 for q in quarters)
if sustained["cut_short"] is None:
    assert len(quarters) == 12 and quarters[-1] == sustained["bytes"]
else:
    assert len(quarters) < 12
assert all(row["bytes_at_quarter_seconds"] is None for row in rows.values())
PY

# On a terminal: bars beside the rows, and a live line while a row is measured.
if $root && command -v script >/dev/null; then
    script -qec "$(printf '%q ' "$cli" "$work/tmpfs")" /dev/null >"$work/terminal" 2>&1
    expect_status 0 $? "run on a terminal"
    [ "$(grep -c "秒  │" "$work/terminal")" = 9 ] || fail "run on a terminal: no bars"
    grep -q "正在测试：" "$work/terminal" || fail "run on a terminal: no live line"
    expect_no_test_files "$work/tmpfs" "run on a terminal"
fi
"$cli" --quiet "$odd" >"$work/out" 2>"$work/err"
expect_status 0 $? "--quiet"
# Nothing but what is said whatever else is: a busy disk may slow within the 3-second
# write, and the note of it is no line of the run's.
[ ! -s "$work/out" ] && [ -z "$(grep -v '：注意：3 秒持续写入中' "$work/err")" ] \
    || fail "--quiet printed: $(cat "$work/out" "$work/err")"

# For a textfile collector: Prometheus' own parser reads the file, labels escaped, and
# nothing else is left beside it.
quoted="$work/say \"hi\" \\ there"
mkdir "$quoted" "$work/collector"
"$cli" --quiet --prometheus "$work/collector/quvo.prom" "$quoted" 2>"$work/err"
expect_status 0 $? "--prometheus"
/usr/bin/python3 - "$work/collector/quvo.prom" "$quoted" <<'PY' || fail "--prometheus: $(cat "$work/collector/quvo.prom")"
import sys
from prometheus_client.parser import text_string_to_metric_families
families = {f.name: f for f in text_string_to_metric_families(open(sys.argv[1], encoding="utf-8").read())}
info = families["quvo_diskspeed_info"].samples[0]
assert info.labels["directory"] == sys.argv[2] and info.value == 1, info
assert families["quvo_diskspeed_run_success"].samples[0].value == 1
ids = ["small_write", "small_read", "large_write", "large_read", "sustained_write", "read_back", "lookup", "copy", "delete"]
assert [s.labels["id"] for s in families["quvo_diskspeed_row_duration_seconds"].samples] == ids
moved = {s.labels["id"]: s.value for s in families["quvo_diskspeed_row_bytes"].samples}
assert moved["small_write"] == 1024000 and moved["copy"] == moved["sustained_write"] and "lookup" not in moved
PY
[ "$(ls -A "$work/collector")" = quvo.prom ] || fail "--prometheus: left beside the file: $(ls -A "$work/collector")"
expect_no_test_files "$quoted" "--prometheus"

# A report that cannot be written is a failure: exit 1 and why, the test files removed.
for mode in --json --lines; do
    "$cli" $([ $mode = --json ] && echo --json) "$odd" >/dev/full 2>"$work/err"
    expect_status 1 $? "$mode into a full device"
    grep -q "结果未能写到标准输出（No space left on device）" "$work/err" || fail "$mode into a full device: $(cat "$work/err")"
    expect_no_test_files "$odd" "$mode into a full device"
done

# --plan says what a run would write there, and writes nothing.
"$cli" --plan "$odd" >"$work/out" 2>"$work/err"
expect_status 0 $? "--plan"
grep -qF "将在 $odd 测试：写入测试文件 DriveSpeedTest.txt 和 DriveSpeedTest2.txt，最多 " "$work/out" \
    && grep -qE "保留不写），测试结束后删除。$" "$work/out" || fail "--plan: $(cat "$work/out" "$work/err")"
[ -z "$(ls -A "$odd")" ] || fail "--plan: something was written in $odd"

# As an ordinary user: a directory they may not look into is reported with the
# system's reason, not as no directory; one they may write but not read (and so not
# lock) is measured, and the run says it went unguarded.
if $root && command -v setpriv >/dev/null; then
    as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
    chmod 755 "$work" "$work/tmpfs"
    mkdir -m 700 "$work/private" && mkdir "$work/private/inner"
    as_user "$cli" "$work/private/inner" >"$work/out" 2>"$work/err"
    expect_status 1 $? "a directory behind one the user may not enter"
    grep -q "Permission denied" "$work/err" && ! grep -q "不是目录" "$work/err" \
        || fail "a directory behind one the user may not enter: $(cat "$work/err")"
    unreadable="$work/tmpfs/unreadable"
    mkdir -m 333 "$unreadable" && chown nobody:nogroup "$unreadable"
    as_user "$cli" --json "$unreadable" >"$work/json" 2>"$work/err"
    expect_status 0 $? "an unreadable directory"
    jq -e '.ok == true and .locked == false and .status == "本地磁盘测试完成" and (.lock_note | test("不支持加锁"))' \
        "$work/json" >/dev/null \
        || fail "an unreadable directory: the report does not say the run went unguarded: $(cat "$work/json")"
    [ "$(grep -c "不支持加锁" "$work/err")" = 1 ] \
        || fail "an unreadable directory: stderr does not say once that the run went unguarded: $(cat "$work/err")"
    expect_no_test_files "$unreadable" "an unreadable directory"
fi

# An unwritable target: exit 1, the reason on stderr, nothing created.
mkdir -p "$work/source" "$work/readonly"
if $root; then
    mount --bind "$work/source" "$work/readonly" && mount -o remount,bind,ro "$work/readonly"
else
    chmod 555 "$work/readonly"
fi
"$cli" --json "$work/readonly" >"$work/json" 2>"$work/err"
expect_status 1 $? "unwritable target"
grep -q "本地磁盘测试失败" "$work/err" || fail "unwritable target: no message on stderr"
jq -e '.ok == false and (.error | startswith("本地磁盘测试失败")) and (.rows | length) == 0' "$work/json" >/dev/null \
    || fail "unwritable target: unexpected report: $(cat "$work/json")"
for dir in "$work/source" "$work/readonly"; do
    [ -z "$(ls -A "$dir")" ] || fail "unwritable target: something was created in $dir"
done

# SIGINT during the sustained write, once the row before it has shown: the run stops,
# shows no result for the row and removes its files.
interrupted="$work/interrupted"
mkdir "$interrupted"
"$cli" "$interrupted" >"$work/out" 2>&1 &
pid=$!
if wait_until 60 grep -q "^大文件只读速度" "$work/out"; then
    kill -INT "$pid"
    wait "$pid"
    expect_status 130 $? "SIGINT"
    ! grep -q "^磁盘全部写入速度" "$work/out" || fail "SIGINT: the sustained write had ended before the signal came"
else
    fail "SIGINT: no sustained write began within 60 s: $(cat "$work/out")"
    kill -KILL "$pid"; wait "$pid" 2>/dev/null
fi
expect_no_test_files "$interrupted" "SIGINT"

finish "all end-to-end checks passed"
