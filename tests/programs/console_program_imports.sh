#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The headless front end for Windows imports no DLL that loads user32 (shell32, gdi32,
# ole32, ... and user32 itself): a console program that has user32 loaded is never told
# of logoff or shutdown (CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT) and is ended with its
# test files left behind. Only the DLLs below are expected; another one must be checked
# for user32 before it joins them.
# Usage: console_program_imports.sh path/to/objdump path/to/quvo-diskspeed-cli.exe
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
objdump=$1
program=$2
[ -x "$objdump" ] || skip "no objdump for Windows programs at '$objdump'"

imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)
[ -n "$imports" ] || fail "no imports read from $program"
for dll in $imports; do
    case "$dll" in
    kernel32.dll | advapi32.dll | ntdll.dll | msvcrt.dll | api-ms-win-*) ;;
    *) fail "$program imports $dll, which may load user32" ;;
    esac
done
finish "imports: $(echo $imports)"
