#!/usr/bin/env bash
# The Windows program as someone gets it who configures without naming a
# generator: CMake's default (Unix Makefiles here) builds zoq.exe as Ninja
# does, resources of the object libraries included. In build-win-make.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_WIN_MAKE_BUILD_DIR:-$top/build-win-make}
host=${ZOQ_BUILD_DIR:-$top/build}  # its painted pictures
source "$top/scripts/lib.sh"

"$top/scripts/deps.sh" build windows
cmake --build "$host" --target zoq_images >/dev/null
env -u CMAKE_GENERATOR cmake -S "$top" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DZOQ_PAINTED_PICTURES="$host/forms/images" -DZOQ_WITH_TESTS=OFF -DZOQ_WITH_BENCH=OFF \
  "${zoq_launcher[@]}" >/dev/null
generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build/CMakeCache.txt")
echo "generator: $generator"
cmake --build "$build" -j "$(nproc)" --target zoq
echo "zoq.exe: $(stat -c %s "$build/app/zoq.exe") bytes"
