#!/usr/bin/env bash
# Runs a desktop host command under its own Xvfb display until the reader is ready (the
# host's --ready-file appears: the first update of all channels ended), saves a screenshot
# of the host's window ("Tessavin"; the whole screen if it cannot be found) to OUT.png, and
# stops the host.
#
#   scripts/xvfb-shot.sh WORKDIR OUT.png HOST [ARGS...]
set -euo pipefail
work=$1
out=$2
shift 2
ready="$work/.ready"
rm -f "$ready"
display=$(for n in $(seq 90 140); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { echo $n; break; }; done)
Xvfb ":$display" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
# The host and the display are gone (the catalogue free for the next command) when this
# script ends.
trap '{ kill ${host:-} && wait ${host:-}; } 2>/dev/null || true
      { kill $xvfb && wait $xvfb; } 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done
DISPLAY=":$display" "$@" --ready-file "$ready" >"$work/host.log" 2>&1 &
host=$!
for _ in $(seq 1 600); do [ -e "$ready" ] && break; kill -0 $host 2>/dev/null || break; sleep 0.1; done
sleep 1 # the last repaint
window=$(DISPLAY=":$display" xdotool search --name '^Tessavin$' 2>/dev/null | head -1 || true)
DISPLAY=":$display" import -window "${window:-root}" "$out"
