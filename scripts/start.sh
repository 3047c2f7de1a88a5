#!/usr/bin/env bash
# Installs what is missing, builds Parlavue and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target parlavue
# Without a camera the program would end at once: offer the built-in test camera instead.
if ! compgen -G "/dev/video*" > /dev/null; then
  set -- --test-camera "$@"
fi
exec build/app/parlavue "$@"
