#!/usr/bin/env bash
# Builds the fuzz targets with clang (build/fuzz) and runs them.
#
#   scripts/fuzz.sh [--merge] [SECONDS] [TARGET...]   run each target SECONDS (default 60)
#   scripts/fuzz.sh --smoke [TARGET...]               about 20 s each on the seeds only
#   scripts/fuzz.sh --list                            the target names
#
# New inputs a run finds go to build/fuzz/work/<target>/corpus, never into the source
# tree; --merge then adds those that reach new code to fuzz/corpus/<target>/. An input that
# crashes, leaks or times out is saved to fuzz/crashes/<target>/ (the replay test in the
# normal build runs it from then on); a smoke run leaves it in build/fuzz/work/<target>/
# and only reports it. The exit status is non-zero when any target failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

smoke=0
merge=0
seconds=60
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=1; seconds=20 ;;
    --merge) merge=1 ;;
    --list) sed -n '/^set(UICONTROL_FUZZ_TARGETS/,/)/p' "$root/fuzz/targets.cmake" | tr -d '()' |
              sed 's/set//; s/UICONTROL_FUZZ_TARGETS//' | tr -s ' \n' '\n' | sed '/^$/d'; exit 0 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    [0-9]*) [ $smoke -eq 1 ] || seconds=$1 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <("$0" --list)
fi
for target in "${targets[@]}"; do
  if [ ! -f "$root/fuzz/targets/$target.cpp" ]; then
    echo "fuzz.sh: no target $target (see --list)" >&2
    exit 2
  fi
done

"$root/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DUICONTROL_FUZZ=ON >/dev/null
cmake --build "$build" -j "${UICONTROL_JOBS:-2}" -- "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
summary=()
for target in "${targets[@]}"; do
  work="$build/work/$target"
  mkdir -p "$work/corpus" "$work/artifacts"
  rm -f "$work/artifacts"/*
  args=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$work/artifacts/")
  [ -f "$root/fuzz/corpus/$target.dict" ] && args+=(-dict="$root/fuzz/corpus/$target.dict")
  # Each tab_events input starts page threads whose sanitizer bookkeeping outlives the
  # input, so the leak check after every input would run each time and take most of the
  # time. Leaks are still found: the check at exit fails the run.
  [ "$target" = tab_events ] && args+=(-detect_leaks=0)
  if [ $smoke -eq 1 ]; then
    # The seeds only, copied, so that nothing the run adds reaches a kept folder.
    rm -rf "$work/smoke"
    mkdir -p "$work/smoke"
    cp "$root/fuzz/corpus/$target"/* "$work/smoke/" 2>/dev/null || true
    corpora=("$work/smoke")
  else
    corpora=("$work/corpus" "$root/fuzz/corpus/$target")
  fi
  echo "== $target: ${seconds} s"
  status=0
  # Run in the work folder: files the library writes into the current folder stay there.
  (cd "$work" && "$build/fuzz/fuzz_$target" "${args[@]}" "${corpora[@]}") >"$work/log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  summary+=("$target: ${runs:-?} runs, exit $status")
  if [ $status -ne 0 ]; then
    failed+=("$target")
    tail -n 40 "$work/log"
    for artifact in "$work/artifacts"/*; do
      [ -f "$artifact" ] || continue
      if [ $smoke -eq 1 ]; then
        echo "failing input kept as $artifact"
      else
        mkdir -p "$root/fuzz/crashes/$target"
        cp "$artifact" "$root/fuzz/crashes/$target/"
        echo "failing input saved as fuzz/crashes/$target/$(basename "$artifact")"
      fi
    done
  elif [ $merge -eq 1 ] && [ $smoke -eq 0 ]; then
    "$build/fuzz/fuzz_$target" -merge=1 -timeout=25 "$root/fuzz/corpus/$target" "$work/corpus" \
      >"$work/merge.log" 2>&1 || { failed+=("$target (merge)"); tail -n 20 "$work/merge.log"; }
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
