#!/usr/bin/env bash
# The Qt-free libraries' tests (platform, text, runtime core, fetch) and the
# hostile-server tests, built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in a build directory of their own. Any report
# fails the test that caused it.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_ASAN_BUILD_DIR:-$top/build-asan}

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-O1 $flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DZOQ_WITH_UI=OFF -DZOQ_WITH_BENCH=OFF -DZOQ_WITH_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" 2>&1 | tee "$log" || status=1
if grep -q 'No tests were found' "$log"; then status=1; fi
exit "$status"
