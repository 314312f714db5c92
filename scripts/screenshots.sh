#!/usr/bin/env bash
# Builds, starts the desktop host on the demo catalogue under Xvfb, lets the first update of
# all channels finish, and writes PNG screenshots of the whole window to OUTDIR:
#   main.png       the host with the reader: toolbar, channel tree, reading pane
#   icons.png      the tree with the site icons the demo feeds name (PNG and ICO)
#   tree-menu.png  the channel tree's context menu open on a channel
#   updating.png   a channel of a slow server shown with its updating image
#   drag.png       that channel dragged over a group: drag image and drop highlight
#   page.png       a channel page with a read, a flagged and a deleted item
#   atom.png       the page of an Atom channel
#   enclosure.png  a channel page whose items carry files: links with type and size
#   tabs.png       channel and web pages in tabs, long titles cut
#   failed-channel.png  a channel whose updates fail: its image and its tool tip
#   confirm-delete.png  the delete command asking by name
#   page-en.png    a channel page in an English host
#   add-channel.png, properties.png, import.png, options.png   the dialogs (Chinese)
#   discover.png   add channel given a web page's address: the choice of the two feeds it names
#   options-en.png the options dialog of an English host
#   mark-all-read.png  the tree's menu on a group with "mark read" pointed at
#   flagged.png    the view of the flagged items of every channel
#   search.png, search-en.png  the results of a search for a Chinese and an English word
#   notice.png     the whole screen: the notification after an update run that brought new items
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
# A copy of the sample feeds, which get new items for the notice.
feeds="$app/feeds"
cp -r demo/feeds "$feeds"
source scripts/demo-env.sh
# A channel whose server takes 4 seconds to answer, and one whose address is gone.
sed -i "s|</body>|<outline kind=\"nkFeed\" text=\"Slow wire\" xmlUrl=\"http://127.0.0.1:$port/slow/world.xml\"/><outline kind=\"nkFeed\" text=\"Gone\" xmlUrl=\"http://127.0.0.1:$port/gone.xml\"/></body>|" \
    "$app/userdata/rss/RssUserCfg/userdefinechannel.opml"
display=$(for n in $(seq 90 140); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done
# A session bus of its own with a notification service that draws on the display.
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(echo "$bus" | sed -n 1p)
bus_pid=$(echo "$bus" | sed -n 2p)
dunst >/dev/null 2>&1 &
notices=$!
trap 'kill $host $notices $bus_pid $xvfb $demo_server 2>/dev/null || true' EXIT
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
# The site icons: the four RSS feeds name theirs (coloured PNG and ICO files of the demo
# server); the Atom channel names none and keeps the plain image.
for _ in $(seq 1 100); do
    [ "$(ls "$app"/userdata/rss/ReadRecord/Data/icons/*.icon 2>/dev/null | wc -l)" -ge 4 ] && break
    sleep 0.1
done
sleep 0.5
shot icons.png
# The context menu on the first channel of the tree.
xdotool mousemove --window "$window" 110 167 click 3
sleep 0.3 # before the item's tooltip covers the menu
shot tree-menu.png
xdotool key Escape
sleep 0.3
# The same menu on the group "News", the pointer on "mark read".
xdotool mousemove --window "$window" 60 144 click 3
sleep 0.5
xdotool mousemove --window "$window" 110 431
sleep 0.5
shot mark-all-read.png
xdotool key Escape
sleep 0.3
# Drag the slow channel over the group "Technology", shoot, and let go where it started
# (a channel dropped on itself stays where it is).
xdotool mousemove --window "$window" 100 328 mousedown 1
sleep 0.2
for y in 316 296 276 256 236 216 213; do xdotool mousemove --window "$window" 95 $y; sleep 0.05; done
sleep 0.3
shot drag.png
for y in 256 296 328; do xdotool mousemove --window "$window" 100 $y; sleep 0.05; done
xdotool mouseup 1
sleep 0.5
# click X Y [SECONDS]: a click at a place of the window, then a wait.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep "${3:-1}"; }
# open_channel Y: a double click on the tree's node at height Y opens its page (the pointer
# first goes away, so that no tooltip covers the tree).
open_channel() {
    xdotool mousemove --window "$window" 80 620
    sleep 0.5
    xdotool mousemove --window "$window" 100 "$1" click --repeat 2 --delay 80 1
    sleep 2
}
# The channel "Gone" fails: its image, and the tool tip that says why and since when.
xdotool mousemove --window "$window" 80 620
sleep 0.5
xdotool mousemove --window "$window" 80 351
sleep 2
shot failed-channel.png
# The page of "World desk": item 1 marked read, item 2 flagged, item 3 deleted.
# (The pointer leaves each icon at once: an icon's tool tip would cover the next one.)
open_channel 167
for at in "493 262" "509 314" "525 366"; do
    xdotool mousemove --window "$window" $at click 1 mousemove --window "$window" 80 620
    sleep 1
done
xdotool mousemove --window "$window" 80 620
sleep 1.5
shot page.png
# The Atom channel "Project blog".
open_channel 305
xdotool mousemove --window "$window" 80 620
sleep 1
shot atom.png
# "Lab notes": an enclosure under item 1, a Media RSS content and an enclosure under item 2.
open_channel 259
# Both items unfolded by their triangles (item 2 first: item 1's text pushes it down).
for y in 294 242; do
    xdotool mousemove --window "$window" 195 $y click 1 mousemove --window "$window" 80 620
    sleep 0.5
done
sleep 0.5
shot enclosure.png
# The flagged items of every channel (item 2 of "World desk"), from the entry above the tree.
click 80 109 2
xdotool mousemove --window "$window" 80 620
sleep 0.5
shot flagged.png
# search WORDS: the words typed into the search box, and the results.
search() {
    xdotool mousemove --window "$window" 880 93 click 1 key ctrl+a
    xdotool type --delay 60 "$1"
    xdotool key Return
    sleep 2
    xdotool mousemove --window "$window" 80 620
    sleep 0.5
}
search "公园"
shot search.png
search "harbour"
shot search-en.png
# More channel pages, a web page typed into the address box, and an item's link.
for y in 190 259 282; do open_channel $y; done
click 193 92
xdotool mousemove --window "$window" 580 129 click 1 key ctrl+a
xdotool type "http://127.0.0.1:$port/index.html"
xdotool key Return
sleep 2
open_channel 167
click 300 240 3
xdotool mousemove --window "$window" 80 620
sleep 0.5
shot tabs.png
# dialog_shot TITLE FILE: the open dialog of that title, then closed with Escape. (Titles are
# compared whole: xdotool's own name search does not take these characters.)
dialog_shot() {
    sleep 1
    local dialog="" w
    for w in $(xdotool search --onlyvisible --name '.*'); do
        [ "$(xdotool getwindowname "$w")" = "$1" ] && dialog=$w
    done
    [ -n "$dialog" ] || { echo "no dialog \"$1\" to shoot" >&2; return 1; }
    import -window "$dialog" "$out/$2"
    xdotool key Escape
    sleep 0.5
}
# Add channel on the group "News", OK pressed with no name: the reason in red.
click 60 144
click 26 52 # the reader's "add channel" button
xdotool key Return
dialog_shot "添加频道" add-channel.png
# Add channel given the address of a web page that names two feeds: the choice between them.
click 60 144
click 26 52
xdotool type --delay 40 "Harbour Daily"
xdotool key Tab Tab
xdotool type --delay 20 "http://127.0.0.1:$port/site.html"
xdotool key Return
sleep 1
dialog_shot "添加频道" discover.png
# The properties of "World desk" and the import dialog, from the tree's menu.
xdotool mousemove --window "$window" 110 167 click 3
sleep 0.5
click 155 263
dialog_shot "频道属性" properties.png
xdotool mousemove --window "$window" 60 144 click 3
sleep 0.5
click 185 396
dialog_shot "导入频道文件" import.png
# Delete on the group "News": the question names it and counts its channels (cancelled).
click 60 144
xdotool key ctrl+Delete
dialog_shot "删除" confirm-delete.png
# The options, from the reader's toolbar; then once more in an English host.
click 284 52
dialog_shot "系统配置" options.png
# "Lab notes" and "World desk" get a new item each; update all (Ctrl+F5) ends in one notice.
for f in science world; do
    sed -i "s|</lastBuildDate>|</lastBuildDate><item><title>Breaking $f</title><link>http://example.org/$f/new.html</link></item>|" "$feeds/$f.xml"
    sed -i "s|<lastBuildDate>[^<]*<|<lastBuildDate>Tue, 08 Dec 2026 09:00:00 GMT<|" "$feeds/$f.xml"
done
click 60 144
xdotool key ctrl+F5
sleep 7 # the slow channel takes 4 seconds
import -window root "$out/notice.png"
kill $host
wait $host 2>/dev/null || true
rm -f "$app/.ready"
./build/hosts/desktop/tessavin-host --app-dir "$app" --lang en --ready-file "$app/.ready" \
    >>"$app/host.log" 2>&1 &
host=$!
for _ in $(seq 1 600); do [ -e "$app/.ready" ] && break; sleep 0.1; done
sleep 1
window=$(xdotool search --name '^Tessavin$' | head -1)
click 284 52
dialog_shot "Options" options-en.png
# A channel page in the English host.
open_channel 167
xdotool mousemove --window "$window" 80 620
sleep 1
shot page-en.png
echo "screenshots in $out: $(cd "$out" && ls *.png | tr '\n' ' ')"
