#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the two programs and starts the main one.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_BENCH=OFF >/dev/null
cmake --build build/normal -j "$(nproc)"
if [ ! -x build/normal/morvane2 ]; then
  echo "The main application is not built yet."
  exit 1
fi
exec build/normal/morvane2 "$@"
