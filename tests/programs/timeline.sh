#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The timeline of a complete run accounts for the whole run: nine sections in order,
# none empty, no negative gap, and sections plus gaps add up to the run's own time.
# Usage: timeline.sh path/to/quvo-diskspeed-timeline
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
timeline=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-timeline-XXXXXX")
cleanup() { umount "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
# On a small tmpfs the sustained write stops at its space reserve, so the run stays short.
if [ "$(id -u)" = 0 ]; then mount -t tmpfs -o size=256m tmpfs "$work" 2>/dev/null; fi
report=$("$timeline" --json "$work") || { fail "the run failed"; finish; }
[ -z "$(ls -A "$work")" ] || fail "test files left behind"

check() { [ "$(jq "$2" <<<"$report")" = true ] || fail "$1"; }
check "nine rows, in order" '[.rows[].row] == [range(9)]'
check "every section took some time" 'all(.rows[]; .seconds > 0)'
check "ten gaps, none negative" '(.gaps_seconds | length) == 10 and all(.gaps_seconds[]; . >= 0)'
check "sections and gaps add up to the program less its start and end" \
    '(.sections_seconds + .outside_run_seconds + .before_run_seconds + .after_run_seconds - .program_seconds | fabs) < 1e-3'
check "row 4 closes within its section" '.sustained_close_seconds >= 0 and .sustained_close_seconds <= (.rows[4].seconds)'
finish "the timeline accounts for the whole run"
