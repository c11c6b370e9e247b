# SPDX-License-Identifier: MIT
# What the scripts share, sourced by each: the tree, installing what is missing, the
# builds, the usage text, the machine line, the median, and rows of the JSON report.
# shellcheck shell=bash

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
script=$(basename "$0")

# The usage text is the script's leading comment: every comment line after the #! and
# the SPDX line, up to the first line that is not a comment.
usage() {
    awk 'NR == 1 && /^#!/ { next }
        !/^#/ { exit }
        /SPDX-License-Identifier/ { next }
        { sub(/^# ?/, ""); print }' "$0"
}

# A command line the script cannot use: the reason and the usage line, exit status 2.
usage_error() { # message
    echo "$script: $1" >&2
    usage | grep -m 1 '^Usage:' >&2
    exit 2
}

# For the scripts that take no arguments: --help prints the usage text.
no_arguments() { # "$@"
    case "${1:-}" in
    "") ;;
    -h | --help) usage; exit 0 ;;
    *) usage_error "takes no arguments: $1" ;;
    esac
}

# Installs what is missing of the groups scripts/install-deps names (--tests,
# --figures), the build's own packages always; apt-get runs only there, through sudo
# when not root. Its lines go to stderr, so that stdout stays the script's.
install_missing() { # [--tests] [--figures]
    "$top/scripts/install-deps" "$@" >&2
}

# One binary directory per purpose, so that no script reconfigures another's build:
#   build/                 the README's build (preset default), where the programs are
#                          build/quvo-diskspeed and build/quvo-diskspeed-cli: scripts/run
#                          builds those two there, and scripts/test builds and runs the
#                          tests there, reconfigured afresh from the preset (and in
#                          build-sanitize/, build-fuzz/ and build-windows/ from theirs)
#   build-figures/         the scripts that print figures or draw the window: preset
#                          default without the tests, with the benchmarks and the
#                          window's tools
#   build-figures-windows/ the same for the Windows window: preset windows without the tests
# What the figure scripts print stays where the docs say, in build/compare-fio/ and
# build/overhead/.
figures_build=$top/build-figures
figures_windows_build=$top/build-figures-windows

# The two programs in build/. Configured from the preset only when nothing has
# configured build/ yet, and then without the tests and benchmarks, whose packages
# scripts/run does not install; a build/ configured already keeps its settings.
build_programs() {
    if [ -f "$top/build/CMakeCache.txt" ]; then
        cmake -S "$top" -B "$top/build" >/dev/null
    else
        cmake -S "$top" --preset default -DQUVO_BUILD_TESTS=OFF -DQUVO_BUILD_BENCHMARKS=OFF >/dev/null
    fi
    cmake --build "$top/build" --target quvo-diskspeed quvo-diskspeed-cli >&2
}

# The targets named (`all` for every one) in build-figures/; needs --figures installed.
build_figures() { # target...
    cmake -S "$top" --preset default -B "$figures_build" -DQUVO_BUILD_TESTS=OFF -DQUVO_BUILD_BENCHMARKS=ON \
        >/dev/null
    cmake --build "$figures_build" --target "$@" >&2
}

# The targets named in build-figures-windows/; needs --tests installed (the cross
# compiler and the sources it compiles).
build_figures_windows() { # target...
    cmake -S "$top" --preset windows -B "$figures_windows_build" -DQUVO_BUILD_TESTS=OFF >/dev/null
    cmake --build "$figures_windows_build" --target "$@" >&2
}

# The first line of every table of figures: where they were taken.
machine_line() {
    echo "Machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), Linux $(uname -r)"
}

load_average() {
    cut -d' ' -f1-3 /proc/loadavg
}

# Of the numbers on stdin, one a line: "median lowest highest". The median of an even
# count is the mean of the middle two. Fails on no numbers, which is no figure.
median_spread() {
    sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "median of no numbers" > "/dev/stderr"; exit 1 }
        OFMT = "%.15g"
        if (NR % 2) m = v[(NR + 1) / 2]; else m = (v[NR / 2] + v[NR / 2 + 1]) / 2
        print m, v[1], v[NR] }'
}

median() {
    median_spread | cut -d' ' -f1
}

# A field of the row with this id (docs/report.md) in a report of
# quvo-diskspeed-cli --json; fails where the report has no such row or the field is null.
row_field() { # report id field
    jq -er --arg id "$2" --arg field "$3" '.rows[] | select(.id == $id) | .[$field]' "$1"
}
