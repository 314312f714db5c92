#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program on its default data: the sample
# feeds of demo/ are served on a loopback port, a fresh application folder gets them as its
# channel list, the command-line host imports and updates them all and lists the tree.
#
#   scripts/run.sh [APP_DIR]      (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target tessavin tessavin-demo-server

app=${1:-$(mktemp -d /tmp/tessavin-app.XXXXXX)}
mkdir -p "$app"
app=$(cd "$app" && pwd)
portfile=$(mktemp -u /tmp/tessavin-demo-port.XXXXXX)
./build/hosts/cli/tessavin-demo-server demo/feeds "$portfile" &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$portfile"' EXIT
for _ in $(seq 1 100); do [ -s "$portfile" ] && break; sleep 0.05; done
port=$(cat "$portfile")

# The demo list becomes the user's channel list, which the first start imports.
mkdir -p "$app/userdata/rss/RssUserCfg"
if [ ! -e "$app/userdata/rss/RssUserCfg/userdefinechannel.opml" ]; then
    sed "s|@BASE@|http://127.0.0.1:$port|g" demo/channels.opml.in \
        > "$app/userdata/rss/RssUserCfg/userdefinechannel.opml"
fi

tessavin=./build/hosts/cli/tessavin
echo "== feeds served on http://127.0.0.1:$port/, application folder $app"
echo "== tessavin update --all"
"$tessavin" --app-dir "$app" update --all || true
echo "== tessavin list"
"$tessavin" --app-dir "$app" list
echo "== tessavin page c1"
"$tessavin" --app-dir "$app" page c1
