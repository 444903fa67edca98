#!/usr/bin/env bash
# Builds the install and the Debian packages, and checks them as their users see them:
#   1. a Release-with-debug-info build in build/package (prefix /usr, no tests),
#   2. cmake --install into a temporary prefix,
#   3. tests/consumer built and run against that prefix twice: with find_package and
#      with pkg-config,
#   4. cpack -G DEB, the packages unpacked with dpkg -x into a fresh folder, and
#      uicontrol-shell --help and --version run from there,
#   5. lintian on the packages: any error fails the script (warnings are printed).
# The packages stay in build/package/*.deb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/compiler-cache.sh"
"$root/scripts/setup.sh"

# The package build compiles what the normal build compiled, in another folder: let the
# compiler cache share results across folders (the packages carry no debug paths).
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
build="$root/build/package"
jobs=${UICONTROL_JOBS:-2}
work=$(mktemp -d /tmp/uicontrol-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "== configure and build ($build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DUICONTROL_SANITIZER= -DUICONTROL_BUILD_TESTS=OFF -DUICONTROL_BUILD_BENCHMARKS=OFF >"$work/configure.log" \
  || { cat "$work/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")

echo "== install into a temporary prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log"
for lib in uicontrol uicontrol-platform uicontrol-logging; do
  soname=$(objdump -p "$prefix/$libdir/lib$lib.so" | awk '/SONAME/ {print $2}')
  echo "   lib$lib.so: SONAME $soname"
  case "$soname" in *".so.${version%.*}") ;; *) echo "unexpected SONAME $soname (version $version)" >&2; exit 1 ;; esac
done

for discovery in cmake pkg-config; do
  echo "== consumer with $discovery"
  consumer="$work/consumer-$discovery"
  PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" cmake -S "$root/tests/consumer" -B "$consumer" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCONSUMER_DISCOVERY="$discovery" >"$work/consumer-$discovery.log" \
    || { cat "$work/consumer-$discovery.log"; exit 1; }
  grep -E '^-- uicontrol ' "$work/consumer-$discovery.log" | sed 's/^/   /'
  cmake --build "$consumer" -j "$jobs" >>"$work/consumer-$discovery.log" \
    || { cat "$work/consumer-$discovery.log"; exit 1; }
  ctest --test-dir "$consumer" --output-on-failure
done

echo "== Debian packages"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
debs=("$build"/*.deb)
for deb in "${debs[@]}"; do
  echo "   $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done

echo "== unpack with dpkg -x and run the shell from there"
unpacked="$work/unpacked"
mkdir "$unpacked"
for deb in "${debs[@]}"; do dpkg -x "$deb" "$unpacked"; done
shell="$unpacked/usr/bin/uicontrol-shell"
# Its libraries come from the unpacked folder (RUNPATH $ORIGIN/..), not from the system.
ldd "$shell" >"$work/ldd.txt"
grep -E 'libuicontrol' "$work/ldd.txt" | sed 's/^/   /'
awk -v dir="$unpacked" '/libuicontrol/ && index($0, dir) == 0 { bad = 1 } END { exit bad }' "$work/ldd.txt" \
  || { echo "uicontrol-shell does not load its libraries from the unpacked folder" >&2; exit 1; }
"$shell" --help >"$work/help.txt"
"$shell" --version | tee "$work/version.txt" | sed 's/^/   /'
grep -q "^uicontrol-shell $version\$" "$work/version.txt"
# The man page is made from --help: every option of --help is in it.
zcat "$unpacked/usr/share/man/man1/uicontrol-shell.1.gz" | sed 's/\\//g' >"$work/man.txt"
for option in $(grep -o -- '--[a-z-]*' "$work/help.txt" | sort -u); do
  grep -q -- "$option" "$work/man.txt" || { echo "the man page lacks $option" >&2; exit 1; }
done
# The unpacked shell runs its own interface (usr/share/uicontrol/ui): a session that only
# quits. No page engine is needed for that.
echo quit | "$shell" --profile "$work/profile" --chromium /bin/false >"$work/session.txt" 2>&1 \
  || { cat "$work/session.txt"; exit 1; }
grep -q 'uicontrol shell. Type help' "$work/session.txt" || { cat "$work/session.txt"; exit 1; }
echo "   the unpacked shell started its interface and quit"

echo "== lintian"
lintian --tag-display-limit 0 "${debs[@]}" >"$work/lintian.txt" 2>&1 || true
sed 's/^/   /' "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
  echo "lintian reports errors" >&2
  exit 1
fi
echo "== packages ok: ${debs[*]}"
