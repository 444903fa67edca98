#!/usr/bin/env bash
# Compiles the product code (libraries, components, hosts; no tests) with clang and its
# lock analysis as errors, in build/threadsafety. Compiling is the whole check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/compiler-cache.sh"
build="$root/build/threadsafety"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DUICONTROL_THREAD_SAFETY=ON \
  -DUICONTROL_BUILD_TESTS=OFF -DUICONTROL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "${UICONTROL_JOBS:-2}"
