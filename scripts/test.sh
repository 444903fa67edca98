#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite:
#   normal   the normal build, every test
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer build, every test
#   tsan     ThreadSanitizer build, the tests that use threads
#   luajit   the normal build on LuaJIT instead of Lua 5.1, the tests that run Lua code
#   package  install, CMake and pkg-config consumers, Debian packages, lintian
#   fuzz     each fuzz target for a short run on its corpus (clang, libFuzzer)
#   threadsafety  the product code compiled with clang's lock analysis as errors
# UICONTROL_VARIANTS chooses among them (default: all, in that order).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

variants=${UICONTROL_VARIANTS:-"normal asan tsan luajit package fuzz threadsafety"}
for variant in $variants; do
  start=$(date +%s)
  case "$variant" in
    normal|asan|tsan)
      echo "== $variant build"
      "$root/scripts/build.sh" "$variant"
      echo "== $variant tests"
      ctest --test-dir "$root/build/$variant" --output-on-failure -j "${UICONTROL_JOBS:-2}"
      ;;
    luajit)
      echo "== luajit build and tests"
      "$root/scripts/luajit-test.sh"
      ;;
    package)
      echo "== packages"
      "$root/scripts/package-test.sh"
      ;;
    fuzz)
      echo "== fuzz smoke run"
      "$root/scripts/fuzz.sh" --smoke
      ;;
    threadsafety)
      echo "== lock analysis (clang -Wthread-safety)"
      "$root/scripts/threadsafety.sh"
      ;;
    *)
      echo "unknown variant $variant" >&2
      exit 2
      ;;
  esac
  echo "== $variant done in $(($(date +%s) - start)) s"
done
