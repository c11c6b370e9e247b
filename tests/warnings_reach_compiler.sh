#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The warning set must reach every compile of the project's own C++ sources (a
# resource script goes to the resource compiler, which takes no warnings).
# Usage: warnings_reach_compiler.sh compile_commands.json WERROR(0|1)
set -u
commands=$1
werror=$2
flags=(-Wall -Wextra -Wpedantic)
[ "$werror" = 1 ] && flags+=(-Werror)
ours='select(.file | test("/(runtime|bench|cli|app|tools|benchmarks)/.*\\.cpp$"))'
total=$(jq "[.[] | $ours] | length" "$commands")
[ "$total" -gt 0 ] || { echo "no compile commands for the project's sources"; exit 1; }
for flag in "${flags[@]}"; do
    missing=$(jq -r --arg f "$flag" ".[] | $ours"'
        | select((.command // (.arguments | join(" "))) | split(" ") | index($f) | not) | .file' "$commands")
    if [ -n "$missing" ]; then
        echo "$flag does not reach:"; echo "$missing"; exit 1
    fi
done
echo "${flags[*]} reach all $total compiles"
