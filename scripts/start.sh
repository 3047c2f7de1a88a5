#!/usr/bin/env bash
# Installs what is missing, builds Parlavue and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target parlavue
exec build/app/parlavue "$@"
