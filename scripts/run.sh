#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" normal uicontrol-demo
exec "$root/build/normal/host/uicontrol-demo" "$@"
