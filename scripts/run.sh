#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on its default data: the plug-in
# is loaded as a host loads it and started on a fresh application folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tessavin-startup
./build/cli/tessavin-startup "$@"
