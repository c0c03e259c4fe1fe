#!/usr/bin/env bash
# Configures the cross build for 64-bit Windows (build-win, or
# ZOQ_WIN_BUILD_DIR) as the Windows leg builds it: MinGW-w64, the window
# layer on the Win32 API, the pictures painted on this machine. The Windows
# leg of the tests and scripts/run-windows both use it.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_WIN_BUILD_DIR:-$top/build-win}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# The pictures are painted at build time by a tool that needs Qt, so it runs
# on this machine: in the Linux build when there is one, else in a build of
# that tool alone.
host=${ZOQ_BUILD_DIR:-$top/build}
if ! { [[ -f $host/CMakeCache.txt ]] && cmake --build "$host" --target zoq_images >/dev/null; }; then
  host=$top/build-win-host
  cmake -S "$top" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DZOQ_WITH_TESTS=OFF -DZOQ_WITH_BENCH=OFF >/dev/null || exit 1
  cmake --build "$host" --target zoq_images >/dev/null || { echo "pictures not painted" >&2; exit 1; }
fi

cmake -S "$top" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DZOQ_PAINTED_PICTURES="$host/forms/images" \
  -DZOQ_WITH_UI=ON -DZOQ_WITH_BENCH=OFF >/dev/null || exit 1
