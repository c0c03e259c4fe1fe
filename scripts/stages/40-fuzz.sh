#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), replays every target's seeds and saved
# regression inputs (a CTest test each), then fuzzes each target briefly.
# FUZZ_SECONDS sets the time per target (scripts/fuzz-long.sh uses this
# script with a larger value).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${ZOQ_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${FUZZ_SECONDS:-10}
source "$top/scripts/lib.sh"

zoq_configure fuzz "$build"
cmake --build "$build" -j "$(nproc)" --target zoq_fuzz_all
zoq_ctest "$build" -j "$(nproc)" || { echo "saved fuzz inputs fail"; exit 1; }

# A smaller quarantine than AddressSanitizer's 256 MB: runs that allocate a
# lot otherwise spend their time faulting in fresh pages, and use after free
# is still caught within the last 64 MB freed.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:quarantine_size_mb=64
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Options of single targets, each for a reason:
# - url_decode_fuzz: every pass over the input converts it byte by byte, so
#   an input's cost grows with its length; the code's own steps are a few
#   dozen bytes at most (escapes, 8- and 16-byte words, copied runs of 32),
#   and 512 bytes holds many of each.
# - response_fuzz: a response is handled line by line, and the longest line
#   that means anything (past the 1,024-byte header buffer) fits well in
#   2,048 bytes; longer inputs only make each run dearer.
declare -A options=(
  [url_decode_fuzz]="-max_len=512"
  [response_fuzz]="-max_len=2048"
)

failed=()
summary=()
for fuzzer in "$build"/fuzz/*_fuzz; do
  [[ -x "$fuzzer" ]] || continue
  name=$(basename "$fuzzer")
  echo "-- $name"
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d "$build/fuzz/seeds/$name" ]] && seeds=("$build/fuzz/seeds/$name")
  log="$build/$name.log"
  artifacts="$build/artifacts/$name/"
  mkdir -p "$artifacts"
  read -r -a own <<<"${options[$name]:-}"
  if "$fuzzer" "$corpus" "${seeds[@]}" "${own[@]}" -max_total_time="$seconds" -timeout=10 \
       -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 \
       -artifact_prefix="$artifacts" >"$log" 2>&1; then
    runs=$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' |
           awk '{s += $1} END {print s + 0}')
    summary+=("$name: $runs executions in ${seconds}s")
  else
    echo "$name found a failure; input saved under $artifacts"
    grep -E 'ERROR|SUMMARY|check failed|Test unit written' "$log" | head -n 20 || true
    failed+=("$name")
  fi
done

printf '%s\n' "${summary[@]}"
if [[ ${#summary[@]} -eq 0 && ${#failed[@]} -eq 0 ]]; then
  echo "no fuzz targets were built"
  exit 1
fi
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "failing fuzz targets: ${failed[*]}"
  exit 1
fi
