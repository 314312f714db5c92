#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the run command need, when
# missing. Sourced, it only sets its lists (packages, run_commands, essential_packages).

packages=(
    build-essential cmake pkg-config
    libgtest-dev libgmock-dev
    libcurl4-openssl-dev ca-certificates openssl
    libcpp-httplib-dev tinyproxy
    libgumbo-dev
    libsqlite3-dev
    nlohmann-json3-dev
    clang libclang-rt-14-dev
    libwxgtk3.2-dev libwxgtk-webview3.2-dev libwebkit2gtk-4.0-dev libglib2.0-dev xvfb xauth xdotool
    imagemagick dunst dbus-daemon
)

# Every outside command that scripts/run.sh and the scripts it runs (demo-env.sh,
# xvfb-shot.sh) call, with the package that brings it. The test command checks that the
# scripts call no other, and that each package is in `packages` or in `essential_packages`.
run_commands=(
    bash:bash cat:coreutils dirname:coreutils head:coreutils mkdir:coreutils mktemp:coreutils nproc:coreutils
    rm:coreutils seq:coreutils sleep:coreutils sed:sed
    cmake:cmake Xvfb:xvfb xdotool:xdotool import:imagemagick
)
# Packages that every Debian system has.
essential_packages=(bash coreutils sed grep dpkg)

[ "${BASH_SOURCE[0]}" != "$0" ] && return 0

set -euo pipefail
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
