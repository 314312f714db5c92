#!/usr/bin/env bash
# Desktop start: tessavin-host from process start until its reader (tree filled) is shown,
# with a generated catalogue of 2,000 channels in 100 groups and with an empty one, against
# QuiteRSS starting with an empty profile until its main window is mapped. All under one
# Xvfb, repetitions interleaved; medians of wall time and of memory: the proportional set
# size (PSS) summed over the reader's whole process tree (for the host: WebKit's web and
# network processes too), read 6 seconds after the start.
#
#   bench/host_start.sh BUILD_DIR [REPETITIONS]
set -euo pipefail
build=$1
runs=${2:-5}
work=$(mktemp -d /tmp/tessavin-bench-start.XXXXXX)
display=$(for n in $(seq 150 199); do [ -e /tmp/.X11-unix/X$n ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
export DISPLAY=":$display"
sleep 0.5

# The 2,000-channel catalogue, imported once by the command-line host.
{
    echo '<?xml version="1.0" encoding="utf-8"?><opml version="1.0"><body>'
    for g in $(seq 1 100); do
        echo "<outline kind=\"nkPath\" text=\"Group $g\">"
        for c in $(seq 1 20); do
            echo "<outline kind=\"nkFeed\" text=\"Channel $g.$c\" xmlUrl=\"http://127.0.0.1:9/$g/$c.xml\"/>"
        done
        echo "</outline>"
    done
    echo '</body></opml>'
} > "$work/big.opml"
for name in big empty; do
    mkdir -p "$work/$name/userdata/rss/RssUserCfg" "$work/$name/rss/RssUserCfg"
    printf '<opml version="1.0"><body></body></opml>' \
        > "$work/$name/userdata/rss/RssUserCfg/userdefinechannel.opml"
    printf '[Common]\r\nUpdateState=0\r\n' > "$work/$name/rss/RssUserCfg/Quorvel.ini"
done
"$build/hosts/cli/tessavin" --app-dir "$work/big" import "$work/big.opml" >/dev/null

# PSS in KiB summed over the processes given and all their descendants.
tree_pss() {
    local pids="$*" all="$*" next p sum=0 v
    while [ -n "$pids" ]; do
        next=""
        for p in $pids; do next+=" $(pgrep -P "$p" | tr '\n' ' ')"; done
        pids=$(echo $next)
        all+=" $pids"
    done
    for p in $all; do
        v=$(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || true)
        sum=$((sum + ${v:-0}))
    done
    echo $sum
}
# The memory of the process tree at 6 seconds after begin.
pss_at_six() {
    local pid=$1 begin=$2
    sleep "$(echo "$begin + 6 - $(date +%s.%N)" | bc | sed 's/^-.*/0/')"
    tree_pss "$pid"
}
# One start: prints "seconds kilobytes".
start_host() {
    local app=$1 marker="$work/started"
    rm -f "$marker"
    local begin=$(date +%s.%N)
    "$build/hosts/desktop/tessavin-host" --app-dir "$app" --started-file "$marker" \
        >/dev/null 2>&1 &
    local pid=$!
    while [ ! -e "$marker" ]; do sleep 0.005; done
    local end=$(date +%s.%N)
    local pss=$(pss_at_six $pid "$begin")
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    echo "$(echo "$end - $begin" | bc) $pss"
}
start_quiterss() {
    local home="$work/qhome.$RANDOM"
    mkdir -p "$home"
    local begin=$(date +%s.%N)
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        quiterss >/dev/null 2>&1 &
    local pid=$!
    xdotool search --sync --onlyvisible --class quiterss >/dev/null 2>&1
    local end=$(date +%s.%N)
    local pss=$(pss_at_six $pid "$begin")
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    echo "$(echo "$end - $begin" | bc) $pss"
}

declare -A times memory
for i in $(seq 1 "$runs"); do
    for what in big empty quiterss; do
        case $what in
        big) result=$(start_host "$work/big") ;;
        empty) result=$(start_host "$work/empty") ;;
        quiterss) result=$(start_quiterss) ;;
        esac
        times[$what]+="${result% *} "
        memory[$what]+="${result#* } "
    done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for what in big empty quiterss; do
    t=$(echo "${times[$what]}" | median)
    m=$(echo "${memory[$what]}" | median)
    printf '%-9s start %.3f s  memory (PSS, process tree) %d MiB   (runs: %s)\n' "$what" "$t" $((m / 1024)) "${times[$what]}"
done
qt=$(echo "${times[quiterss]}" | median)
qm=$(echo "${memory[quiterss]}" | median)
bt=$(echo "${times[big]}" | median)
bm=$(echo "${memory[big]}" | median)
echo "2,000-channel start / QuiteRSS empty start: $(echo "scale=2; $bt / $qt" | bc)"
echo "2,000-channel memory / QuiteRSS empty memory: $(echo "scale=2; $bm / $qm" | bc)"
