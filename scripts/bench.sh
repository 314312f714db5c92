#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them (baselines are used by bench/ only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
extra=(libbenchmark-dev libxml2-dev)
missing=()
for p in "${extra[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSAVIN_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
for b in build-bench/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $b"
    "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_min_time=1
done
