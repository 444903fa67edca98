# Sourced by the build scripts: compile through ccache when it is installed, in the
# user's ordinary ccache folder, with paths taken relative to the checkout so that build
# folders and checkouts share objects (the normal, LuaJIT and package builds share flags).
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
fi
