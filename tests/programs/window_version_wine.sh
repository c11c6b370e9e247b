#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The window program asked for its version under Wine with no display at all, as from a
# console or a script: it writes its version line on the output it was given before
# any window is made, and ends with status 0.
# Usage: window_version_wine.sh WINE PROGRAM "NAME VERSION"
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
wine=$1
program=$2
expected=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-wine-version-XXXXXX")
trap 'rm -rf "$work"' EXIT

use_wine_prefix "$work"

out=$(timeout 60 "$wine" "$program" --version 2>"$work/err" | tr -d '\r')
status=${PIPESTATUS[0]}
[ "$status" = 0 ] || fail "--version: exit status $status: $(cat "$work/err")"
[ "$out" = "$expected" ] || fail "--version printed '$out', expected '$expected'"
finish "the window program answers --version without a window"
