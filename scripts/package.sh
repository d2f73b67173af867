#!/usr/bin/env bash
# Builds Korvane and makes its Debian package, build/korvane_<version>_amd64.deb.
# Install it with: sudo apt install ./build/korvane_*_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KORVANE_CMAKE_ARGS:-}
cmake --build build -j "${KORVANE_JOBS:-2}"
(cd build && cpack -G DEB)
ls -1 build/korvane_*.deb
