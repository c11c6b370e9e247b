#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# One complete headless run under valgrind memcheck: no invalid access, no use of
# uninitialised memory, no leak. Usage: valgrind.sh path/to/quvo-diskspeed-cli
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cli=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-valgrind-XXXXXX")
cleanup() { umount "$work" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
# On a small tmpfs the sustained write stops at its space reserve, so the run stays short.
if [ "$(id -u)" = 0 ]; then mount -t tmpfs -o size=256m tmpfs "$work" 2>/dev/null; fi
valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect "$cli" "$work"
[ $? = 0 ] || fail "memcheck found errors, or the run failed"
[ -z "$(ls -A "$work")" ] || fail "test files left behind"
finish "one run under memcheck: clean, nothing left"
