#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite three times:
# a normal build, an AddressSanitizer + UndefinedBehaviorSanitizer build, and a
# ThreadSanitizer build of the threaded tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

variants=${UICONTROL_VARIANTS:-"normal asan tsan"}
for variant in $variants; do
  echo "== $variant build"
  "$root/scripts/build.sh" "$variant"
  echo "== $variant tests"
  ctest --test-dir "$root/build/$variant" --output-on-failure -j "${UICONTROL_JOBS:-2}"
done
