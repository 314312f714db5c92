#!/usr/bin/env bash
# Builds, starts the desktop host on the demo catalogue under Xvfb, lets the first update of
# all channels finish, and writes PNG screenshots of the whole window to OUTDIR:
#   main.png   the host with the reader: toolbar, channel tree, reading pane
#
#   scripts/screenshots.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 1 ] || { echo "usage: scripts/screenshots.sh OUTDIR" >&2; exit 2; }
mkdir -p "$1"
out=$(cd "$1" && pwd)
bash scripts/deps.sh
command -v import >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq imagemagick >/dev/null
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tessavin-host tessavin-demo-server

app=$(mktemp -d /tmp/tessavin-shots.XXXXXX)
source scripts/demo-env.sh
bash scripts/xvfb-shot.sh "$app" "$out/main.png" ./build/hosts/desktop/tessavin-host \
    --app-dir "$app" --lang zh_CN
echo "screenshots in $out: $(cd "$out" && ls *.png | tr '\n' ' ')"
