#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine as on a Chinese Windows: ANSI code
# page 936, no display, a private prefix.
#   wine-run.sh STATE_DIR PROGRAM [ARGS...]   runs PROGRAM
#   wine-run.sh STATE_DIR                     only prepares STATE_DIR
# STATE_DIR holds the prefix and the generated zh_CN.UTF-8 locale; both are
# made on first use, under a lock because CTest starts several at once.
set -euo pipefail
mkdir -p "$1"
state=$(cd "$1" && pwd)  # Wine wants an absolute prefix
shift

wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)

# Wine takes the ANSI code page from the process locale, so the locale must
# really exist; it is generated into the state directory, not the system.
# The shell itself keeps its own locale (it would warn about this one).
wine_env=(
  LOCPATH="$state/locale" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
  WINEPREFIX="$state/prefix" WINEDEBUG=-all
  # No .NET or HTML engine installers. Windows go to ZOQ_WINE_DISPLAY (an X
  # server the caller started), or nowhere.
  WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="${ZOQ_WINE_DISPLAY:-}"
)

if [[ ! -e $state/ready ]]; then
  (
    flock 9
    if [[ ! -e $state/ready ]]; then
      if [[ ! -d $state/locale/zh_CN.UTF-8 ]]; then
        mkdir -p "$state/locale"
        localedef -i zh_CN -f UTF-8 "$state/locale/zh_CN.UTF-8" >/dev/null 2>&1 || true
        if [[ ! -d $state/locale/zh_CN.UTF-8 ]]; then
          echo "wine-run: cannot generate the zh_CN.UTF-8 locale" >&2
          exit 1
        fi
      fi
      # The lock descriptor stays out of the server that wineboot leaves running.
      env -u WAYLAND_DISPLAY "${wine_env[@]}" "$wine" wineboot --init >/dev/null 2>&1 9>&- || true
      touch "$state/ready"
    fi
  ) 9>"$state/lock"
fi

[[ $# -gt 0 ]] || exit 0
exec env -u WAYLAND_DISPLAY "${wine_env[@]}" "$wine" "$@"
