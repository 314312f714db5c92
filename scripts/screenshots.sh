#!/usr/bin/env bash
# Builds, starts the desktop host on the demo catalogue under Xvfb, lets the first update of
# all channels finish, and writes PNG screenshots of the whole window to OUTDIR:
#   main.png       the host with the reader: toolbar, channel tree, reading pane
#   tree-menu.png  the channel tree's context menu open on a channel
#   updating.png   a channel of a slow server shown with its updating image
#   drag.png       that channel dragged over a group: drag image and drop highlight
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
# A channel whose server takes 4 seconds to answer.
sed -i "s|</body>|<outline kind=\"nkFeed\" text=\"Slow wire\" xmlUrl=\"http://127.0.0.1:$port/slow/world.xml\"/></body>|" \
    "$app/userdata/rss/RssUserCfg/userdefinechannel.opml"
display=$(for n in $(seq 90 140); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $host 2>/dev/null || true; kill $xvfb 2>/dev/null || true; kill $demo_server 2>/dev/null || true' EXIT
export DISPLAY=":$display"
for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done
./build/hosts/desktop/tessavin-host --app-dir "$app" --lang zh_CN --ready-file "$app/.ready" \
    --started-file "$app/.started" \
    >"$app/host.log" 2>&1 &
host=$!
for _ in $(seq 1 600); do [ -e "$app/.started" ] && break; sleep 0.1; done
sleep 2 # the other channels are done; the slow one is not
window=$(xdotool search --name '^Tessavin$' | head -1)
# The whole window; menus open over it are part of the screen, so those shots are cut from
# the screen at the window's place.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
shot() { import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1"; }
shot updating.png
for _ in $(seq 1 600); do [ -e "$app/.ready" ] && break; sleep 0.1; done
sleep 1
shot main.png
# The context menu on the first channel of the tree.
xdotool mousemove --window "$window" 110 151 click 3
sleep 0.3 # before the item's tooltip covers the menu
shot tree-menu.png
xdotool key Escape
sleep 0.3
# Drag the slow channel over the group "Technology", shoot, and let go where it started
# (a channel dropped on itself stays where it is).
xdotool mousemove --window "$window" 100 289 mousedown 1
sleep 0.2
for y in 280 260 240 220 200 197; do xdotool mousemove --window "$window" 95 $y; sleep 0.05; done
sleep 0.3
shot drag.png
for y in 220 260 289; do xdotool mousemove --window "$window" 100 $y; sleep 0.05; done
xdotool mouseup 1
echo "screenshots in $out: $(cd "$out" && ls *.png | tr '\n' ' ')"
