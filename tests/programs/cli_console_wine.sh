#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The headless front end for Windows as a Chinese Windows user meets it: under Wine in
# the zh_CN locale (code page 936), in a console of its own (console_host, started on a
# terminal as cmd would start it). Its text reads as written, on one line where it is
# one line; the console's code page is as the program found it; a failing run's
# reason is the system's own words, in the JSON report too, as valid UTF-8 with no line
# end inside; Ctrl-Break (Ctrl-C where Wine has no Ctrl-Break) stops a run with exit
# status 130 and nothing left behind; and a console closed during a run (as Windows
# closes one: the handlers run, then the program is ended) finds the run's files removed
# and its reports out and whole.
# Usage: cli_console_wine.sh path/to/wine path/to/console_host.exe path/to/quvo-diskspeed-cli.exe
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
wine=$1
host=$2
cli=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-wine-console-XXXXXX")
trap 'rm -rf "$work" "${WINEPREFIX:-/nonexistent}/drive_c/quvo 控制台" "${WINEPREFIX:-/nonexistent}/drive_c/quvo 报告"' EXIT

command -v script >/dev/null || skip "script (util-linux) is missing: no terminal to start Wine on"
locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$' || skip "the zh_CN.UTF-8 locale is missing (localedef -i zh_CN -f UTF-8 zh_CN.UTF-8)"
export LC_ALL=zh_CN.UTF-8
use_wine_prefix "$work"
directory="$WINEPREFIX/drive_c/quvo 控制台"
mkdir -p "$directory"

# console_host's report on stdout (its first three lines, then the console's screen),
# the program's own stderr where --pipes sends it there.
hosted() { # report-file host-arguments...
    local report=$1
    shift
    local line
    printf -v line '%q ' "$wine" "$host" "$@"
    script -qec "$line >'$report' 2>'$report.err'" /dev/null </dev/null >/dev/null
    tr -d '\r' <"$report" >"$report.txt"
}
field() { sed -n "s/^$2: //p" "$1.txt"; } # report name
screen() { tail -n +4 "$1.txt"; }
same_code_page() { # report what
    local pages
    pages=$(field "$1" "code page")
    [ "${pages% *}" = 936 ] || skip "Wine's console did not take code page 936 from the zh_CN locale ($pages)"
    [ "${pages% *}" = "${pages#* }" ] || fail "$2: the console's code page was ${pages% *} and is ${pages#* } afterwards"
}

# The help text: every line as written.
hosted "$work/help" -- "$cli" --help
[ "$(field "$work/help" exit)" = 0 ] || fail "--help: exit status $(field "$work/help" exit)"
screen "$work/help" | grep -qxF '  --version 显示版本' || fail "--help: the console does not show '  --version 显示版本': $(screen "$work/help")"
same_code_page "$work/help" "--help"

# A run that fails on a file another program holds: the system's reason, on the line of
# the run's own words, in the console and in the JSON report; nothing the run did not
# create is removed or reported.
held='C:\quvo 控制台\DriveSpeedTest.txt'
hosted "$work/held" --hold "$held" -- "$cli" 'C:\quvo 控制台'
[ "$(field "$work/held" exit)" = 1 ] || fail "held file: exit status $(field "$work/held" exit)"
screen "$work/held" | grep -qE "^本地磁盘测试失败：创建 C:\\\\quvo 控制台\\\\DriveSpeedTest\.txt 时出错（[^）]+）$" \
    || fail "held file: the console does not show the reason on the failure's line: $(screen "$work/held")"
same_code_page "$work/held" "held file"
hosted "$work/json" --pipes --hold "$held" -- "$cli" --json 'C:\quvo 控制台'
json=$(head -n 1 "$work/json.txt")
jq -e '.ok == false and (.error | test("^本地磁盘测试失败：创建 .*DriveSpeedTest\\.txt 时出错（[^）\r\n]+）$"))' <<<"$json" >/dev/null \
    || fail "held file: the JSON report's error is not the run's words and the system's, on one line: $json"
[ -z "$(ls -A "$directory")" ] || fail "held file: left behind: $(ls -A "$directory")"

# Ctrl-Break in the middle of a run: 130, nothing left, and the live line gone without
# a trace of escape sequences.
hosted "$work/stop" --stop-when "$held" --after 1500 -- "$cli" 'C:\quvo 控制台'
echo "stopped with $(field "$work/stop" event)"
[ "$(field "$work/stop" exit)" = 130 ] || fail "stop: exit status $(field "$work/stop" exit): $(screen "$work/stop")"
[ -z "$(ls -A "$directory")" ] || fail "stop: left behind: $(ls -A "$directory")"
[ "$(screen "$work/stop" | tail -n 1)" = "本地磁盘测试已中止" ] || fail "stop: the console's last line is not the stop: $(screen "$work/stop")"
if screen "$work/stop" | grep -q $'\e\|\[K'; then fail "stop: escape sequences shown as text: $(screen "$work/stop")"; fi
same_code_page "$work/stop" "stop"

# The console closed in the middle of a run.
mkdir -p "$WINEPREFIX/drive_c/quvo 报告"
hosted "$work/closed" --pipes --close-when "$held" --after 1500 -- "$cli" --json --prometheus 'C:\quvo 报告\quvo.prom' \
    'C:\quvo 控制台'
[ "$(field "$work/closed" event)" = CTRL_CLOSE_EVENT ] || fail "close: the console was not closed: $(cat "$work/closed.txt")"
[ -z "$(ls -A "$directory")" ] || fail "close: left behind: $(ls -A "$directory")"
json=$(head -n 1 "$work/closed.txt")
jq -e '.ok == false and .status == "本地磁盘测试已中止"' <<<"$json" >/dev/null || fail "close: the JSON report is not out whole: $json"
prom="$WINEPREFIX/drive_c/quvo 报告/quvo.prom"
[ -f "$prom" ] && [ "$(tail -c 1 "$prom" | od -An -c | tr -d ' ')" = '\n' ] && grep -q '^quvo_diskspeed_info' "$prom" \
    || fail "close: the Prometheus file is not out whole: $(cat "$prom" 2>&1)"
[ "$(ls -A "$WINEPREFIX/drive_c/quvo 报告")" = quvo.prom ] || fail "close: beside the report: $(ls -A "$WINEPREFIX/drive_c/quvo 报告")"

finish "the console, the reasons, the stop and the close checked"
