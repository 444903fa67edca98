# Sourced by the build scripts: compile through ccache when it is installed, with one
# cache for every build folder of this checkout (the variants that share flags, such as
# the normal, LuaJIT and package builds, then share their objects).
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_DIR=${CCACHE_DIR:-$root/build/ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
fi
