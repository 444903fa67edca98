#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main program: the browser shell.
# Extra arguments go to uicontrol-shell (try --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" normal uicontrol-shell
# The browser on the pages shipped in pages/, served on 127.0.0.1 by the shell itself.
exec "$root/build/normal/host/uicontrol-shell" --serve "$root/pages" "$@"
