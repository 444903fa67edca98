#!/usr/bin/env bash
# Runs every test labelled "threaded" N times in the ASan+UBSan and TSan builds while a
# busy loop per core keeps the machine loaded, and prints the tests that failed.
#
#   scripts/stress.sh [N] [CTEST_REGEX]
#
# N defaults to 30 repetitions (ctest --repeat until-fail:N); CTEST_REGEX narrows the
# run to matching tests. The variants come from STRESS_VARIANTS (default "asan tsan").
# Tests that drive a whole Chromium take seconds each and are left out unless
# STRESS_EXCLUDE says otherwise (set it empty to run them too).
# STRESS_HOGS sets the number of busy loops (default: one per core; fewer when something
# else already keeps cores busy).
# Exits non-zero when any test failed. Run it before submitting a change that touches
# threads, queues, waits or timeouts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repeat=${1:-30}
filter=${2:-}
variants=${STRESS_VARIANTS:-"asan tsan"}
exclude=${STRESS_EXCLUDE-'^(WebpageChromiumTest|EngineLibraryTest|Shell)\.'}

"$root/scripts/setup.sh"
for variant in $variants; do
  "$root/scripts/build.sh" "$variant"
done

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

# The load: one busy loop per core, ended however the script ends.
hogs=()
stop_hogs() {
  for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop_hogs EXIT
for _ in $(seq "${STRESS_HOGS:-$(nproc)}"); do
  bash -c 'while :; do :; done' &
  hogs+=($!)
done

status=0
for variant in $variants; do
  log="$root/build/$variant/stress.log"
  echo "== $variant: threaded tests x$repeat under load"
  args=(--test-dir "$root/build/$variant" -L threaded --repeat "until-fail:$repeat" -j 2 --output-on-failure)
  [ -n "$filter" ] && args+=(-R "$filter")
  [ -n "$exclude" ] && args+=(-E "$exclude")
  start=$(date +%s)
  if ctest "${args[@]}" >"$log" 2>&1; then
    echo "   no failure ($(grep -E '^[0-9]+% tests passed' "$log" || true); $(($(date +%s) - start)) s)"
  else
    status=1
    echo "   FAILURES (full output in $log):"
    sed -n '/The following tests FAILED/,$p' "$log" | sed 's/^/   /'
  fi
done
exit $status
