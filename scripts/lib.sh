# Shell pieces the test, run and release commands share; sourced, not run.
# Expects $top, the source tree.

# ccache, where a developer has it, makes rebuilds of a fresh tree cheap.
zoq_launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER= -DCMAKE_C_COMPILER_LAUNCHER=)
if command -v ccache >/dev/null; then
  zoq_launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# zoq_configure PRESET BUILD_DIR [CMAKE OPTIONS...]: one leg's configuration
# from CMakePresets.json, in BUILD_DIR, with ccache when there is one.
zoq_configure() {
  local preset=$1 dir=$2
  shift 2
  (cd "$top" && cmake --preset "$preset" -B "$dir" "${zoq_launcher[@]}" "$@" >/dev/null)
}

# zoq_ctest BUILD_DIR [CTEST OPTIONS...]: the tests of a build, failing when
# there are none (a build that lost its tests must not pass).
zoq_ctest() {
  local dir=$1
  shift
  ctest --test-dir "$dir" --output-on-failure --no-tests=error "$@"
}

# zoq_stop_wineserver PREFIX: lets the prefix's Wine server and helpers
# wind down, and ends them if they do not.
zoq_stop_wineserver() {
  local wineserver=/usr/lib/wine/wineserver
  [[ -x $wineserver && -d $1 ]] || return 0
  WINEPREFIX=$1 timeout 20 "$wineserver" -w || WINEPREFIX=$1 "$wineserver" -k || true
}
