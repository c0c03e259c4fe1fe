#!/usr/bin/env bash
# Configures and builds into build/ (ZOQ_BUILD_DIR): the program, its tests
# and benchmarks. With --program first, only the program: tests and
# benchmarks are switched off, so none of their libraries are needed.
# Further arguments go to the configure step (-DZOQ_VERSION_PAGE_URL=...).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOQ_BUILD_DIR:-$top/build}
if [[ "${1:-}" == --program ]]; then
  shift
  parts=(-DZOQ_WITH_TESTS=OFF -DZOQ_WITH_BENCH=OFF)
  targets=(--target zoq)
else
  parts=(-DZOQ_WITH_TESTS=ON -DZOQ_WITH_BENCH=ON)
  targets=()
fi
# ccache, where a developer has it, makes rebuilds of a fresh tree cheap.
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER= -DCMAKE_C_COMPILER_LAUNCHER=)
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "${launcher[@]}" "${parts[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
