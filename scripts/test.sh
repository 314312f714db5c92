#!/usr/bin/env bash
# Installs what is missing, checks the scripts (syntax; the run command's outside commands
# are installed by deps.sh), builds, and runs every test: the normal build, then the same
# tests under AddressSanitizer + UndefinedBehaviorSanitizer, then the engine and catalogue
# tests under ThreadSanitizer, then every fuzz target over its committed corpus and
# regression inputs (clang, AddressSanitizer + UBSan; no fuzzing). Exits non-zero on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)

# The command words of a script: bash parses it as a function body (nothing runs) and prints
# it back one command a line; command substitutions start pieces of their own, quoted text
# goes, the rest is cut at the operators, and the first word of each piece is kept
# (assignments before it and keywords skipped).
script_commands() {
    bash -c 'eval "script_body() {
$(cat "$1")
}" && declare -f script_body' _ "$1" |
        sed -E -e 's/\$\(/\n/g' | sed -E -e 's/"[^"]*"/_/g' -e "s/'[^']*'/_/g" \
            -e 's/(\|\||&&|[|;&(){}`])/\n/g' |
        sed -E -e 's/^[[:space:]]+//' -e 's/^([A-Za-z_][A-Za-z0-9_]*=[^[:space:]]*[[:space:]]*)+//' \
            -e 's/^((if|then|else|elif|do|while|until|!)[[:space:]]+)+//' |
        awk '{ print $1 }' | grep -E '^[A-Za-z][A-Za-z0-9_.+-]*$' | grep -vx script_body | sort -u
}

# Every script parses, and every outside command of the run command (run.sh and the scripts
# it runs) is one that deps.sh installs.
check_scripts() {
    local status=0 script command package
    for script in scripts/*.sh bench/*.sh .ci/run; do
        bash -n "$script" || status=1
    done
    local packages=() run_commands=() essential_packages=()
    source scripts/deps.sh
    local -A package_of=()
    for command in "${run_commands[@]}"; do package_of[${command%%:*}]=${command#*:}; done
    local run_scripts=(scripts/run.sh scripts/demo-env.sh scripts/xvfb-shot.sh)
    for command in $(for script in "${run_scripts[@]}"; do script_commands "$script"; done | sort -u); do
        case $(type -t "$command") in builtin | keyword) continue ;; esac
        grep -qE "^[[:space:]]*$command[[:space:]]*\(\)" "${run_scripts[@]}" && continue # a function
        package=${package_of[$command]:-}
        if [ -z "$package" ]; then
            echo "the run command calls $command, which deps.sh's run_commands does not list" >&2
            status=1
        elif ! printf '%s\n' "${packages[@]}" "${essential_packages[@]}" | grep -qx "$package"; then
            echo "deps.sh does not install $package (for $command)" >&2
            status=1
        elif ! command -v "$command" >/dev/null; then
            echo "$command is not installed (package $package)" >&2
            status=1
        fi
    done
    return $status
}

# The core's folders include only the folders below them (docs/architecture.md, "Floors").
check_floors() {
    local -A allowed=([platform]="" [xml]="platform" [config]="platform"
        [catalogue]="config platform" [engine]="catalogue config xml platform"
        [host]="catalogue config xml platform" [reader]="engine search catalogue config platform"
        [opml]="engine catalogue config xml platform" [update]="engine catalogue config platform"
        [search]="catalogue config platform")
    local status=0 folder included
    for folder in "${!allowed[@]}"; do
        for included in $(cat Tessavin/"$folder"/*.h Tessavin/"$folder"/*.cpp |
            sed -n -E 's@^#include "([a-z]+)/.*@\1@p' | sort -u); do
            [ "$included" = "$folder" ] && continue
            if [[ " ${allowed[$folder]} " != *" $included "* ]]; then
                echo "Tessavin/$folder includes $included, which is not below it" >&2
                status=1
            fi
        done
    done
    return $status
}

build_and_test() {
    local dir=$1
    shift
    local ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAVIN_BENCH=OFF "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 300 "${ctest_args[@]}")
}

echo "== scripts: syntax, and the run command's outside commands installed by deps.sh"
check_scripts
echo "== folders: each includes only the folders below it"
check_floors
echo "== normal build"
build_and_test build --
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    build_and_test build-asan -- -DTESSAVIN_ASAN=ON
echo "== ThreadSanitizer (threaded subsystems)"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" \
    build_and_test build-tsan -L "engine|catalogue|update|search" -- -DTESSAVIN_TSAN=ON
echo "== fuzz targets: corpora and regression inputs replayed"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 CC=clang CXX=clang++ \
    build_and_test build-fuzz -L fuzz -- -DTESSAVIN_FUZZ=ON
