#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Every C++ source of the project as the committed .clang-format lays it out.
# Usage: sources_formatted.sh SOURCE_DIRECTORY
set -u
cd "$1" || exit 1
command -v clang-format >/dev/null || { echo "skipped: clang-format is missing"; exit 77; }
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || { echo "skipped: not a git checkout"; exit 77; }
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
