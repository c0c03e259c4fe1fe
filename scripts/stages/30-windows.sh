#!/usr/bin/env bash
# The Windows leg: cross-builds the whole program for 64-bit Windows with
# its window layer on the Win32 API (build-win/app/zoq.exe, one file that
# needs nothing installed) and the unit tests, then runs the tests under Wine
# as on a Chinese Windows (ANSI code page 936), windows on a virtual display.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_WIN_BUILD_DIR:-$top/build-win}
jobs=$(nproc)
source "$top/scripts/lib.sh"

"$top/scripts/deps.sh" build windows || exit 1

"$top/scripts/windows/configure.sh" || exit 1
# The Wine prefix takes a few seconds to make: let it happen while compiling.
"$top/cmake/wine-run.sh" "$build/wine" &
prepare=$!
cmake --build "$build" -j "$jobs"
built=$?
wait "$prepare" || { echo "Wine could not be prepared" >&2; exit 1; }
[[ $built -eq 0 ]] || exit 1
echo "zoq.exe: $(stat -c %s "$build/app/zoq.exe") bytes"

# The window tests need a display: a virtual one, on a free display number
# Xvfb picks itself, stopped again at the end.
display_file=$(mktemp)
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$display_file" \
  >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $display_file ]] && break; sleep 0.05; done
[[ -s $display_file ]] || { echo "Xvfb did not start" >&2; kill "$xvfb"; exit 1; }
export ZOQ_WINE_DISPLAY=:$(cat "$display_file")
rm -f "$display_file"

# Wine's server now and then drops a client mid-start ("wine client error:
# recvmsg"), which fails or stalls a test that did nothing wrong. A test that
# fails is run once more, and a stalled one gives up after ZOQ_TEST_TIMEOUT;
# a real fault still fails twice.
status=0
zoq_ctest "$build" -j "$jobs" -LE wine_e2e --repeat until-pass:2 || status=1

# The prefix's server and its helper processes were started by this leg.
zoq_stop_wineserver "$build/wine/prefix"
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit "$status"
