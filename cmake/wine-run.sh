#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine as on a Chinese Windows: ANSI code
# page 936, no display, a private prefix. Usage: wine-run.sh STATE_DIR PROGRAM [ARGS...]
# STATE_DIR holds the prefix and the generated zh_CN.UTF-8 locale; both are
# made on first use, under a lock because CTest starts several at once.
set -euo pipefail
state=$1
shift
mkdir -p "$state"

wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine64 || command -v wine)

# Wine takes the ANSI code page from the process locale, so the locale must
# really exist; it is generated into the state directory, not the system.
export LOCPATH=$state/locale
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
export WINEPREFIX=$state/prefix
export WINEDEBUG=-all
# No .NET or HTML engine installers, and no window anywhere.
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
unset WAYLAND_DISPLAY

if [[ ! -e $state/ready ]]; then
  (
    flock 9
    if [[ ! -e $state/ready ]]; then
      if [[ ! -d $LOCPATH/zh_CN.UTF-8 ]]; then
        mkdir -p "$LOCPATH"
        localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >/dev/null 2>&1 || true
        [[ -d $LOCPATH/zh_CN.UTF-8 ]] || { echo "wine-run: cannot generate zh_CN.UTF-8" >&2; exit 1; }
      fi
      "$wine" wineboot --init >/dev/null 2>&1 || true
      touch "$state/ready"
    fi
  ) 9>"$state/lock"
fi

exec "$wine" "$@"
