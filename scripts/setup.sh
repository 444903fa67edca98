#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Runs as root (or through sudo when available). Safe to run again.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config ccache
  liblua5.1-0-dev libtinyxml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev nlohmann-json3-dev
)
# Extra packages a module may ask for (one name a line) in scripts/packages.d/*.txt.
here=$(cd "$(dirname "$0")" && pwd)
if compgen -G "$here/packages.d/*.txt" >/dev/null; then
  while read -r pkg; do
    [ -n "$pkg" ] && [ "${pkg:0:1}" != "#" ] && PACKAGES+=("$pkg")
  done < <(cat "$here"/packages.d/*.txt)
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
