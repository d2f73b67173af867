#!/usr/bin/env bash
# Installs what Korvane needs on Debian 12, fetches the engine package and builds into build/.
# Safe to run again: installed packages and the cached engine package are reused.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake g++ pkg-config make
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev qt6-image-formats-plugins
    qt6-httpserver-dev qt6-qpa-plugins
    libavformat-dev libavcodec-dev libavutil-dev libzip-dev libdnnl-dev
    ffmpeg libvulkan1 libvulkan-dev mesa-vulkan-drivers
    gstreamer1.0-libav gstreamer1.0-plugins-good
    dbus npm ca-certificates
    # the Debian package and its checks (scripts/package.sh, the package test)
    dpkg-dev desktop-file-utils appstream lintian debootstrap
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
# npm may come from elsewhere on the machine; only ask Debian for it when there is none.
if command -v npm >/dev/null 2>&1; then
    missing=("${missing[@]/npm}")
fi
read -r -a missing <<<"${missing[*]}"
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The engine package is fetched once into .cache/downloads (CMake does it when it is missing).
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVANE_CMAKE_ARGS:-}
cmake --build build -j "${KORVANE_JOBS:-2}"
