#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the two programs and starts the main one.
# It builds only `morvane2` and `m2-launcher` (no tests or benchmarks, so it needs nothing
# that `scripts/setup.sh --tests` adds) in a build folder of its own; a second run builds
# only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=build/app
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM2_TESTS=OFF \
    -DM2_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target morvane2 m2-launcher
exec "$build/morvane2" "$@"
