#!/usr/bin/env bash
# The Qt-free libraries' tests (platform, text, runtime core, fetch) and the
# hostile-server tests, built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in a build directory of their own (the asan
# preset). Any report fails the test that caused it.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_ASAN_BUILD_DIR:-$top/build-asan}
source "$top/scripts/lib.sh"

zoq_configure asan "$build"
cmake --build "$build" -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
zoq_ctest "$build" -j "$(nproc)"
