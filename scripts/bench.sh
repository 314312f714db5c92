#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them (baselines are used by bench/ only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
extra=(libbenchmark-dev libxml2-dev libpugixml-dev libcpp-httplib-dev newsboat)
missing=()
for p in "${extra[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTESSAVIN_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
echo "== feed merge (RSS 2.0 and Atom) against libxml2 parsing"
build-bench/bench/bench_feed_merge --benchmark_repetitions=10 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.5
echo "== word index: 200,000 items in 2,000 channels, queries and the cost added to a merge"
build-bench/bench/bench_search 200000 2000
echo "== mark all read: 10,000 channels x 100 items"
build-bench/bench/bench_mark_read 10000 100
echo "== XML reader against pugixml (parse and full walk of 10 MB)"
build-bench/bench/bench_xml --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_min_time=1
echo "== update of 500 channels x 100 items against newsboat"
build-bench/bench/bench_update_all 500 100
echo "== desktop start: 2,000 channels and an empty catalogue against QuiteRSS (empty profile)"
for p in quiterss time bc xdotool; do dpkg -s "$p" >/dev/null 2>&1 || \
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null; done
cmake --build build-bench -j "$(nproc)" --target tessavin-host tessavin
bash bench/host_start.sh build-bench 5
echo "== channel tree (2,000 channels filled, 2,000 update ends) and reading pane (1,000 items)"
cmake --build build-bench -j "$(nproc)" --target bench_tree bench_pane
xvfb-run -a build-bench/bench/bench_tree 5 2>/dev/null
xvfb-run -a build-bench/bench/bench_pane 5 2>/dev/null
