#!/usr/bin/env bash
# Configures the cross build for 64-bit Windows (build-win, or
# ZOQ_WIN_BUILD_DIR) as the Windows leg builds it: MinGW-w64, the window
# layer on the Win32 API, the pictures painted on this machine. The Windows
# leg of the tests and scripts/run-windows both use it (the windows preset,
# with the pictures of this machine's build).
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_WIN_BUILD_DIR:-$top/build-win}

source "$top/scripts/lib.sh"

# The pictures are painted at build time by a tool that needs Qt, so it runs
# on this machine: in the Linux build when there is one, else in a build of
# that tool alone.
host=${ZOQ_BUILD_DIR:-$top/build}
if ! { [[ -f $host/CMakeCache.txt ]] && cmake --build "$host" --target zoq_images >/dev/null; }; then
  host=$top/build-win-host
  cmake -S "$top" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release "${zoq_launcher[@]}" \
    -DZOQ_WITH_TESTS=OFF -DZOQ_WITH_BENCH=OFF >/dev/null || exit 1
  cmake --build "$host" --target zoq_images >/dev/null || { echo "pictures not painted" >&2; exit 1; }
fi

zoq_configure windows "$build" -DZOQ_PAINTED_PICTURES="$host/forms/images" || exit 1
