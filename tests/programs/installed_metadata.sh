#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installed files that other programs read, checked by those programs' own
# validators: the desktop entry (desktop-file-validate), the AppStream metainfo
# (appstreamcli, offline) whose newest release must be this version, and the manual
# pages (man renders them without a warning, lexgrog finds their one-line summary,
# and the headless program's page describes every option its --help lists).
# Exit 77 (skipped) where a validator is missing: scripts/install-deps --tests
# installs them.
# Usage: installed_metadata.sh BUILD_DIRECTORY VERSION
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build=$1
version=$2
for tool in desktop-file-validate appstreamcli man lexgrog; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quvo-metadata-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

# Its hints count too: one of them is a second main category, which lists the program
# twice in some menus.
said=$(desktop-file-validate "$prefix/share/applications/quvo-diskspeed.desktop" 2>&1) || fail "desktop-file-validate"
[ -z "$said" ] || fail "desktop-file-validate: $said"

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
# The tree as a software centre reads it: the metainfo's file name, its launchable
# desktop entry and icon must agree with one another.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli validate-tree"
newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, the build's version $version"

export LC_ALL=C.UTF-8 MANWIDTH=80
for page in quvo-diskspeed quvo-diskspeed-cli; do
    file="$prefix/share/man/man1/$page.1.gz"
    [ -s "$file" ] || { fail "no manual page $page(1)"; continue; }
    warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(1) renders with warnings: $warnings"
    lexgrog "$file" | grep -qF "\"$page - " || fail "$page(1) has no whatis line: $(lexgrog "$file")"
    man -l "$file" 2>/dev/null | tail -n 1 | grep -qF "$page $version" || fail "$page(1) does not carry version $version"
done
cli_page=$(man -l "$prefix/share/man/man1/quvo-diskspeed-cli.1.gz" 2>/dev/null)
options=$("$prefix/bin/quvo-diskspeed-cli" --help | sed -nE 's/^  (--?[a-z][-a-z]*).*/\1/p')
[ -n "$options" ] || fail "--help lists no options"
for option in $options; do
    # An option's own entry: a line of the option, its argument and its other spellings alone.
    grep -qE -- "^ +(-[-a-z]+, )*$option( [a-z]+)?(, -[-a-z]+)*\$" <<<"$cli_page" \
        || fail "quvo-diskspeed-cli(1) does not describe $option"
done

finish "desktop entry, metainfo and manual pages pass their validators"
