# Sourced by run.sh and screenshots.sh: serves the sample feeds of demo/ on a loopback port
# and gives the application folder $app their channel list as its default list, with
# automatic updating on (the first showing of the reader updates every channel).
# Needs: $app (an existing folder); $feeds, when set, is served instead of demo/feeds; sets
# $port; stops the server on exit.
portfile=$(mktemp -u /tmp/tessavin-demo-port.XXXXXX)
./build/hosts/cli/tessavin-demo-server "${feeds:-demo/feeds}" "$portfile" &
demo_server=$!
trap 'kill $demo_server 2>/dev/null || true; rm -f "$portfile"' EXIT
for _ in $(seq 1 100); do [ -s "$portfile" ] && break; sleep 0.05; done
port=$(cat "$portfile")
mkdir -p "$app/userdata/rss/RssUserCfg" "$app/rss/RssUserCfg"
if [ ! -e "$app/userdata/rss/RssUserCfg/userdefinechannel.opml" ]; then
    sed "s|@BASE@|http://127.0.0.1:$port|g" demo/channels.opml.in \
        > "$app/userdata/rss/RssUserCfg/userdefinechannel.opml"
fi
if [ ! -e "$app/rss/RssUserCfg/Quorvel.ini" ]; then
    printf '[Common]\r\nUpdateState=1\r\n' > "$app/rss/RssUserCfg/Quorvel.ini"
fi
