#!/usr/bin/env bash
# Configures and builds one variant: scripts/build.sh [normal|asan|tsan] [ninja targets...]
# The build folder is build/<variant>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/compiler-cache.sh"
variant=${1:-normal}
shift || true
case "$variant" in
  normal) sanitizer="" ;;
  asan) sanitizer="address" ;;
  tsan) sanitizer="thread" ;;
  *) echo "unknown variant $variant" >&2; exit 2 ;;
esac
dir="$root/build/$variant"
cmake -S "$root" -B "$dir" -G Ninja -DUICONTROL_SANITIZER="$sanitizer" >/dev/null
cmake --build "$dir" -j "${UICONTROL_JOBS:-2}" -- "$@"
