#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package as a distribution receives it: cpack builds it from this build
# tree, its control fields name this version and what the programs need at run time
# (Qt and liburing through dpkg-shlibdeps, and the two fonts), it holds every file a
# user and Debian look for, its changelog's newest entry is this version, and lintian
# finds no error in it (its warnings and notes are printed for the reader).
# Exit 77 (skipped) where dpkg-deb, dpkg-shlibdeps, file or lintian is missing:
# scripts/install-deps --tests installs them.
# Usage: deb_package.sh BUILD_DIRECTORY VERSION
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$1
version=$2
for tool in dpkg-deb dpkg-shlibdeps dpkg-parsechangelog file lintian cpack; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
work=$(mktemp -d "${TMPDIR:-/tmp}/quvo-deb-XXXXXX")
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
debs=("$work"/*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: cpack made no single package: ${debs[*]}"; exit 1; }
deb=${debs[0]}
[ "$(basename "$deb")" = "quvo-diskspeed_${version}_$(dpkg --print-architecture).deb" ] \
    || fail "package file name: $(basename "$deb")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quvo-diskspeed ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
depends=$(field Depends)
named=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for package in libqt6widgets6 libqt6gui6 libqt6core6 liburing2 libstdc++6 libc6 fonts-arphic-uming fonts-liberation2; do
    grep -qxF "$package" <<<"$named" || fail "Depends does not name $package: $depends"
done

dpkg-deb --contents "$deb" | awk '{ print $NF }' >"$work/contents"
for file in usr/bin/quvo-diskspeed usr/bin/quvo-diskspeed-cli \
    usr/share/doc/quvo-diskspeed/copyright usr/share/doc/quvo-diskspeed/changelog.gz \
    usr/share/man/man1/quvo-diskspeed.1.gz usr/share/man/man1/quvo-diskspeed-cli.1.gz \
    usr/share/applications/quvo-diskspeed.desktop usr/share/metainfo/example.quvo.diskspeed.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/quvo-diskspeed.svg; do
    grep -qx "\./$file" "$work/contents" || fail "not in the package: /$file"
done

dpkg-deb --extract "$deb" "$work/root"
newest=$(zcat "$work/root/usr/share/doc/quvo-diskspeed/changelog.gz" | dpkg-parsechangelog -l- -SVersion)
[ "$newest" = "$version" ] || fail "the changelog's newest entry is $newest, the build's version $version"

# lintian says so when it runs as root; that is how CI runs it.
lintian --fail-on error --display-info "$deb" 2> >(grep -v 'running with root privileges' >&2) \
    || fail "lintian found errors"

finish "$(basename "$deb"): fields, files, changelog and lintian as expected"
