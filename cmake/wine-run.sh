#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine as on a Chinese Windows: ANSI code
# page 936, the Chinese faces the layouts name, a private prefix.
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
wineserver=${wine%/*}/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver)

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

if [[ ! -e $state/ready-registry ]]; then
  (
    flock 9
    if [[ ! -e $state/ready-registry ]]; then
      if [[ ! -d $state/locale/zh_CN.UTF-8 ]]; then
        mkdir -p "$state/locale"
        localedef -i zh_CN -f UTF-8 "$state/locale/zh_CN.UTF-8" >/dev/null 2>&1 || true
        if [[ ! -d $state/locale/zh_CN.UTF-8 ]]; then
          echo "wine-run: cannot generate the zh_CN.UTF-8 locale" >&2
          exit 1
        fi
      fi
      # The lock descriptor stays out of the server that wineboot leaves running.
      env -u WAYLAND_DISPLAY "${wine_env[@]}" DISPLAY= "$wine" wineboot --init \
        >/dev/null 2>&1 9>&- || true
      # The prefix has no face of the names the layouts give: Wine replaces them
      # with the installed AR PL faces (Kai for 楷体, Ming for 宋体). The unit
      # tests' windows are left to Wine alone: with no window manager on the
      # X server, Wine would wait two seconds for each managed window closed.
      fonts=$state/fonts.reg
      {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
          '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
          '"楷体_GB2312"="AR PL UKai CN"' '"楷体"="AR PL UKai CN"' '"KaiTi"="AR PL UKai CN"' \
          '"新宋体"="AR PL UMing CN"' '"NSimSun"="AR PL UMing CN"' '"宋体"="AR PL UMing CN"' \
          '' '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\app_tests.exe\X11 Driver]' \
          '"Managed"="N"' |
          iconv -f UTF-8 -t UTF-16LE
      } >"$fonts"
      # On a brand-new machine the first import now and then fails while
      # wineboot's server is still settling: wait for it and try again.
      imported=no
      for _ in 1 2 3; do
        if env -u WAYLAND_DISPLAY "${wine_env[@]}" DISPLAY= "$wine" reg import "$fonts" \
             >/dev/null 2>&1 9>&-; then
          imported=yes
          break
        fi
        WINEPREFIX="$state/prefix" timeout 60 "$wineserver" -w 9>&- || true
      done
      if [[ $imported != yes ]]; then
        echo "wine-run: cannot set the font replacements" >&2
        exit 1
      fi
      # A program started while wineboot's server still runs would join its
      # desktop, which has no display, and end at once: let it go first.
      WINEPREFIX="$state/prefix" "$wineserver" -w 9>&- || true
      touch "$state/ready-registry"
    fi
  ) 9>"$state/lock"
fi

[[ $# -gt 0 ]] || exit 0
exec env -u WAYLAND_DISPLAY "${wine_env[@]}" "$wine" "$@"
