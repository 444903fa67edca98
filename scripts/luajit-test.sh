#!/usr/bin/env bash
# Builds with LuaJIT instead of the C++ build of Lua 5.1 (build/luajit) and runs the
# tests that run Lua code there (the others do not depend on the Lua implementation).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/compiler-cache.sh"
"$root/scripts/setup.sh"
build="$root/build/luajit"
cmake -S "$root" -B "$build" -G Ninja -DUICONTROL_LUA=luajit -DUICONTROL_SANITIZER= \
  -DUICONTROL_LUA_TESTS_ONLY=ON -DUICONTROL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "${UICONTROL_JOBS:-2}"
ctest --test-dir "$build" --output-on-failure -j "${UICONTROL_JOBS:-2}"
