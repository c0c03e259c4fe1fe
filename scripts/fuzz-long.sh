#!/usr/bin/env bash
# A longer fuzzing campaign than the test command's short run: every target
# for FUZZ_SECONDS (default 600) each, one after the other, keeping the
# growing corpus in build-fuzz/corpus/ between runs. Failing inputs are saved
# under build-fuzz/artifacts/<target>/; copy one into
# fuzz/regressions/<target>/ once the fault is fixed so that every test run
# replays it.
#
#   FUZZ_SECONDS=3600 scripts/fuzz-long.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
FUZZ_SECONDS=${FUZZ_SECONDS:-600} exec bash "$here/stages/40-fuzz.sh"
