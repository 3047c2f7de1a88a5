#!/usr/bin/env bash
# Installs what is missing, builds Parlavue and makes its Debian package in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target parlavue parlavue_icons parlavue_gst_packages
rm -f build/parlavue_*.deb
(cd build && cpack -G DEB)
ls build/parlavue_*.deb
