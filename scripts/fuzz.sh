#!/usr/bin/env bash
# Fuzzes one target for a while: scripts/fuzz.sh TARGET SECONDS
# Builds the libFuzzer targets with clang (build-fuzz/), starts from the committed seeds and
# regression inputs, keeps the growing corpus in build-fuzz/corpus/TARGET and writes any
# crashing input to build-fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ]; then
    echo "usage: scripts/fuzz.sh TARGET SECONDS" >&2
    echo "targets: $(ls fuzz/*Fuzz.cpp | xargs -n1 basename | sed 's/\.cpp//' | tr '\n' ' ')" >&2
    exit 2
fi
target=$1
seconds=$2
bash scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTESSAVIN_FUZZ=ON -DTESSAVIN_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "$target"
work=build-fuzz/corpus/$target
artifacts=build-fuzz/artifacts/$target
mkdir -p "$work" "$artifacts"
seeds=(fuzz/corpus/$target)
[ -d fuzz/regressions/$target ] && seeds+=(fuzz/regressions/$target)
exec build-fuzz/fuzz/$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -max_len=262144 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "${seeds[@]}"
