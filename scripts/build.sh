#!/usr/bin/env bash
# Configures and builds into build/ (ZOQ_BUILD_DIR): the program, its tests
# and benchmarks (the default preset). With --program first, only the
# program: tests and benchmarks are switched off, so none of their libraries
# are needed. Further arguments go to the configure step
# (-DZOQ_VERSION_PAGE_URL=...).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOQ_BUILD_DIR:-$top/build}
source "$top/scripts/lib.sh"
if [[ "${1:-}" == --program ]]; then
  shift
  parts=(-DZOQ_WITH_TESTS=OFF -DZOQ_WITH_BENCH=OFF)
  targets=(--target zoq)
else
  parts=(-DZOQ_WITH_TESTS=ON -DZOQ_WITH_BENCH=ON)
  targets=()
fi
zoq_configure default "$build" "${parts[@]}" "$@"
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
