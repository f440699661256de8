#!/usr/bin/env bash
# Makes a large plain file and runs bench_file_pipeline on it: the facade's encryptFile and
# decryptFile against openssl enc with sync and shred, and openssl enc -d with truncate,
# mv and rm, medians of several repeats in one run.
#   bench/file_pipeline.sh [build dir] [size in MiB] [repeats]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
size_mib=${2:-1024}
repeats=${3:-5}
binary="$build/bench_file_pipeline"
if [ ! -x "$binary" ]; then
  cmake --build "$build" --target bench_file_pipeline
fi
work="$build/bench-tmp/file-pipeline"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/plain.bin"
M2_BENCH_PLAIN="$work/plain.bin" M2_BENCH_REPEATS="$repeats" "$binary"
