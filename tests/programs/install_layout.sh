#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What `cmake --install` puts in place for a desktop: the programs, the freedesktop
# entry, the AppStream metainfo, the icon in the sizes the icon theme looks for, the
# licence and the changelog. Both programs answer --version with the build's version
# line, the window's without a display.
# Usage: install_layout.sh BUILD_DIRECTORY VERSION_LINE
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$1
version_line=$2
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quvo-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
for file in bin/quvo-diskspeed bin/quvo-diskspeed-cli \
    share/applications/quvo-diskspeed.desktop \
    share/metainfo/example.quvo.diskspeed.metainfo.xml \
    share/doc/quvo-diskspeed/copyright share/doc/quvo-diskspeed/changelog.gz \
    share/icons/hicolor/16x16/apps/quvo-diskspeed.png \
    share/icons/hicolor/32x32/apps/quvo-diskspeed.png \
    share/icons/hicolor/scalable/apps/quvo-diskspeed.svg; do
    [ -s "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/bin/quvo-diskspeed" ] || fail "the program is not executable"
for program in quvo-diskspeed quvo-diskspeed-cli; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --version 2>&1)
    status=$?
    [ "$status:$answer" = "0:$version_line" ] || fail "$program --version: status $status, printed: $answer"
done
entry="$prefix/share/applications/quvo-diskspeed.desktop"
grep -qx 'Exec=quvo-diskspeed' "$entry" || fail "the entry does not start the program"
grep -qx 'Icon=quvo-diskspeed' "$entry" || fail "the entry does not name the icon"
for size in 16 32; do
    # A PNG's width and height stand at bytes 16 to 23.
    read -r width height < <(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/quvo-diskspeed.png" \
        | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$width x $height" = "$size x $size" ] || fail "${size}x${size} icon is $width x $height"
done

finish "installed: programs, desktop entry, metainfo, icons 16, 32 and scalable, licence, changelog"
