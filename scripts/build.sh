#!/usr/bin/env bash
# Configures and builds the program, its tests and benchmarks into build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOQ_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
