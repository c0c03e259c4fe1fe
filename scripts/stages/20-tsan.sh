#!/usr/bin/env bash
# The in-memory files and the page fetch under ThreadSanitizer, in a build
# directory of their own (the tsan preset): the worker that PageFetch
# abandons at a time-out, the handles closed from two sides, and files used
# from two threads.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_TSAN_BUILD_DIR:-$top/build-tsan}
source "$top/scripts/lib.sh"

zoq_configure tsan "$build"
cmake --build "$build" -j "$(nproc)" --target runtime_core_tests fetch_tests

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# This compiler's ThreadSanitizer cannot cope with the address layouts of
# kernels that randomise mmap with many bits; without randomisation it can.
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom=(setarch "$(uname -m)" -R); fi
status=0
for t in runtime/core/runtime_core_tests fetch/fetch_tests; do
  echo "-- $t"
  "${norandom[@]}" "$build/$t" --gtest_brief=1 || status=1
done
exit "$status"
