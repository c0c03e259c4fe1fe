#!/usr/bin/env bash
# The Wine leg of the end-to-end tests: the Windows build of the program in
# build-win (made by 30-windows.sh) driven under Wine on Xvfb by the tests
# that drive the Linux program (tests/e2e/win/CMakeLists.txt registers them).
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_WIN_BUILD_DIR:-$top/build-win}
source "$top/scripts/lib.sh"

"$top/scripts/deps.sh" windows test || exit 1
if [[ ! -f $build/CTestTestfile.cmake ]]; then
  echo "no Windows build in $build: scripts/stages/30-windows.sh makes it" >&2
  exit 1
fi
if ! ctest --test-dir "$build" -N -L wine_e2e | grep -q 'Total Tests: [1-9]'; then
  echo "SKIPPED: $build has no zoq_e2e.exe (the program with its addresses on the loopback)," \
       "so no end-to-end test runs under Wine"
  exit 0
fi
cmake --build "$build" --target zoq_winlist || exit 1
# The tests' own prefix, made (several seconds) before any test times anything.
"$top/cmake/wine-run.sh" "$build/wine-e2e" || exit 1

# As in the Windows leg, a test whose Wine client the server dropped is run
# once more; a real fault fails twice. Each test serves its pages in a
# network namespace of its own.
status=0
zoq_ctest "$build" -L wine_e2e --repeat until-pass:2 || status=1
zoq_stop_wineserver "$build/wine-e2e/prefix"
exit "$status"
