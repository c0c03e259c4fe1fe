#!/usr/bin/env bash
# Regenerates platform/cp936_windows.inc from the conversion calls of Windows
# as Wine gives them (cross compiler and Wine as for the Windows test leg).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
x86_64-w64-mingw32-g++-posix -O2 -static -std=c++20 \
  "$top/scripts/windows/cp936_extras.cpp" -o "$work/cp936_extras.exe"
"$top/cmake/wine-run.sh" "${ZOQ_WIN_BUILD_DIR:-$top/build-win}/wine" "$work/cp936_extras.exe" |
  tr -d '\r' >"$work/cp936_windows.inc"
mv "$work/cp936_windows.inc" "$top/platform/cp936_windows.inc"
