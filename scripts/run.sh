#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on its default data: the sample
# feeds of demo/ are served on a loopback port, a fresh application folder gets them as its
# channel list, and the desktop host opens the reader, which updates every channel.
# Without a display (no DISPLAY) the host runs under Xvfb instead, and a screenshot of its
# window is saved to a file whose name is printed.
#
#   scripts/run.sh [APP_DIR]      (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tessavin-host tessavin tessavin-demo-server

app=${1:-$(mktemp -d /tmp/tessavin-app.XXXXXX)}
mkdir -p "$app"
app=$(cd "$app" && pwd)
source scripts/demo-env.sh
echo "== feeds served on http://127.0.0.1:$port/, application folder $app"

if [ -n "${DISPLAY:-}" ]; then
    ./build/hosts/desktop/tessavin-host --app-dir "$app"
    exit 0
fi
shot="$app/screenshot.png"
echo "== no display: the host runs under Xvfb; its window is saved to $shot"
bash scripts/xvfb-shot.sh "$app" "$shot" ./build/hosts/desktop/tessavin-host --app-dir "$app"
echo "== screenshot: $shot"
echo "== tessavin list (the catalogue the reader updated)"
./build/hosts/cli/tessavin --app-dir "$app" list
