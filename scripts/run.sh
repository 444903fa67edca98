#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main program on the pages shipped in
# pages/ (served on 127.0.0.1 by the program itself): the desktop browser when a display
# is there ($DISPLAY or $WAYLAND_DISPLAY), the terminal shell otherwise. --terminal asks
# for the shell. Both use the same profile. Extra arguments go to the program (--help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
terminal=0
args=()
for arg in "$@"; do
  if [ "$arg" = "--terminal" ]; then terminal=1; else args+=("$arg"); fi
done
"$root/scripts/setup.sh"
if [ "$terminal" = 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  "$root/scripts/build.sh" normal uicontrol-browser
  exec "$root/build/normal/browser/uicontrol-browser" --serve "$root/pages" "${args[@]+"${args[@]}"}"
fi
"$root/scripts/build.sh" normal uicontrol-shell
exec "$root/build/normal/host/uicontrol-shell" --serve "$root/pages" "${args[@]+"${args[@]}"}"
