#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, when missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libgtest-dev libgmock-dev
    libcurl4-openssl-dev ca-certificates openssl
    libcpp-httplib-dev tinyproxy
    libgumbo-dev
    clang libclang-rt-14-dev
    libwxgtk3.2-dev libwxgtk-webview3.2-dev libwebkit2gtk-4.0-dev libglib2.0-dev xvfb xauth xdotool
)

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
