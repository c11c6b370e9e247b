#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows packages as the build made them, under Wine in the window test session:
# the zip holds the two programs, the licence and the README and nothing else; the
# installer asks no more than the user's rights, installs silently (/S) under the
# user's profile, its Start-menu entry starts the window in the profile folder (where a
# run measures), its window opens, and its uninstaller removes every file it
# installed, test files a run left in the folder, the folder itself, the Start-menu
# entry and its registry key.
# Usage: windows_packages.sh WINE BUILD-DIRECTORY PACKAGE-NAME WINDOW-TESTS
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
wine=$1
build=$2
name=$3
tests=$4
zip=$build/$name.zip
setup=$build/$name-setup.exe
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\quvo-diskspeed'

windows() { LC_ALL=C.UTF-8 "$wine" "$@" 2>/dev/null | tr -d '\r'; }
unix_path() { windows winepath -u "$1"; }

# The portable zip: one folder, four files.
if [ -f "$zip" ]; then
    listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')
    expected="$name/LICENSE.txt $name/README.txt $name/quvo-diskspeed-cli.exe $name/quvo-diskspeed.exe "
    [ "$listed" = "$expected" ] || fail "the zip holds: $listed; expected: $expected"
else
    fail "no zip at $zip"
fi

[ -f "$setup" ] || skip "no installer at $setup (the build had no makensis)"
grep -qa 'level="asInvoker"' "$setup" || fail "the installer asks for more than the user's own rights"

programs=$(windows cmd /c 'echo %LOCALAPPDATA%\Programs')
menu=$(windows cmd /c 'echo %APPDATA%\Microsoft\Windows\Start Menu\Programs')
installed=$(unix_path "$programs\\Quvo Disk Speed")
shortcut=$(unix_path "$menu")/Quvo磁盘速度测试.lnk
[ -n "$programs" ] && [ -n "$installed" ] || { fail "no profile folders in the Wine prefix"; finish ""; }
[ -e "$installed" ] && fail "$installed exists before the installer ran"

"$wine" "$setup" /S || fail "the installer ended with status $?"
for file in quvo-diskspeed.exe quvo-diskspeed-cli.exe LICENSE.txt README.txt Uninstall.exe; do
    [ -f "$installed/$file" ] || fail "not installed: $file"
done
[ -f "$shortcut" ] || fail "no Start-menu entry $shortcut"
# The shortcut's working folder, from its string data (MS-SHLLINK: the header, then the
# item list and the link information where its flags say they are there).
working=$(/usr/bin/python3 - "$shortcut" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
at = 76
if flags & 0x01:
    at += 2 + struct.unpack_from("<H", data, at)[0]
if flags & 0x02:
    at += struct.unpack_from("<I", data, at)[0]
unicode = flags & 0x80
for bit in (0x04, 0x08, 0x10):
    if not flags & bit:
        continue
    count = struct.unpack_from("<H", data, at)[0]
    size = count * (2 if unicode else 1)
    text = data[at + 2:at + 2 + size].decode("utf-16-le" if unicode else "mbcs", "replace")
    at += 2 + size
    if bit == 0x10:
        print(text.split("\0")[0])
PY
)
profile=$(windows cmd /c 'echo %USERPROFILE%')
[ "${working,,}" = "${profile,,}" ] || fail "the Start-menu entry starts the window in '$working', not in the profile folder '$profile'"
windows reg query "$key" | grep -q "UninstallString" || fail "no uninstall entry under $key"
files=$(find "$installed" "$shortcut" 2>/dev/null)

# The installed window opens, shows its client area and ends when it is closed.
out=$(QUVO_WINDOW_PROGRAM="$programs\\Quvo Disk Speed\\quvo-diskspeed.exe" \
    "$wine" "$tests" --gtest_filter='TheProgram.OpensItsWindowAndEndsWhenItIsClosed' 2>&1)
grep -q '\[  PASSED  \] 1 test' <<<"$out" || fail "the installed window: $out"

# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
# A run started in the folder by hand and killed left its test files there.
touch "$installed/DriveSpeedTest.txt" "$installed/DriveSpeedTest2.txt"
"$wine" "$installed/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 60); do [ -e "$installed" ] || break; sleep 0.5; done
while read -r file; do
    [ -e "$file" ] && fail "left after uninstalling: $file"
done <<<"$files"
[ -e "$installed" ] && fail "the install folder is still there: $(ls -A "$installed")"
windows reg query "$key" | grep -q "UninstallString" && fail "the uninstall entry $key is still there"

finish "the zip, and the installer: installed for the user, the window opened, all removed again"
