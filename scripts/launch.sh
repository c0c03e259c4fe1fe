#!/usr/bin/env bash
# Shows the built program's main window. On a desktop (DISPLAY or
# WAYLAND_DISPLAY set) it runs in a normal window until it is closed. With
# no display it runs on a virtual X server (Xvfb): the start-up message box
# is answered, a screenshot of the main window is saved to a path printed at
# the end, and everything started here is stopped again.
#
# The program checks its version page on 127.0.0.1:18080 at start-up; the
# demo server there serves it (ZOQ_DEMO_VERSION=1.3 shows the mismatch path).
#
# With --windows it runs the Windows build (build-win/app/zoq.exe) under Wine
# instead, in a Chinese prefix of its own (cmake/wine-run.sh);
# scripts/run-windows builds it first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/scripts/lib.sh"
title='Ｚｏｑ个人播放器'
windows=false
[[ "${1:-}" == --windows ]] && windows=true
if $windows; then
  build=${ZOQ_WIN_BUILD_DIR:-$top/build-win}
  program=$build/app/zoq.exe
  winlist=$build/tests/e2e/win/winlist.exe
  wine_state=$build/wine-desktop
  [[ -f "$program" ]] || { echo "launch: $program is not built" >&2; exit 1; }
  "$top/cmake/wine-run.sh" "$wine_state"  # the prefix, made once
  # wine-run.sh ends in exec: the process started is the program's own.
  command=("$top/cmake/wine-run.sh" "$wine_state" "$program")
else
  build=${ZOQ_BUILD_DIR:-$top/build}
  program=$build/app/zoq
  [[ -x "$program" ]] || { echo "launch: $program is not built" >&2; exit 1; }
  command=("$program")
fi

started=()  # PIDs, stopped in reverse order on the way out
work=$(mktemp -d)
stop_started() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
    if $windows && [[ ${started[i]} == "${app:-}" ]]; then
      # Wine's server and helpers end a few seconds after the program, and
      # must do so while their display is still there.
      zoq_stop_wineserver "$wine_state/prefix"
    fi
  done
  rm -rf "$work"
}
trap stop_started EXIT

# The demo server says when it has bound its port. A port that answers is
# not enough: a stranger's server there would fail the program's check.
port=18080
python3 "$top/scripts/demo/demo_server.py" --port "$port" --quiet --ready-file "$work/demo" \
  2>"$work/demo.err" &
demo=$!
started+=("$demo")
for _ in $(seq 200); do
  [[ -s "$work/demo" ]] && break
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.05
done
if [[ ! -s "$work/demo" ]]; then
  holder=$(ss -Htlnp "sport = :$port" 2>/dev/null | grep -o 'users:(("[^"]*",pid=[0-9]*' |
           head -n1 | sed 's/users:(("\(.*\)",pid=\([0-9]*\)/\1 (PID \2)/' || true)
  if grep -q 'in use' "$work/demo.err"; then
    echo "launch: port $port on 127.0.0.1 is taken${holder:+ by $holder}; the demo server cannot start, so the program is not started" >&2
  else
    echo "launch: the demo server did not start on 127.0.0.1:$port: $(tail -n1 "$work/demo.err")" >&2
  fi
  exit 1
fi

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  status=0
  ZOQ_WINE_DISPLAY=${DISPLAY:-} "${command[@]}" || status=$?
  if [[ "${ZOQ_DEMO_VERSION:-1.2}" != 1.2 ]]; then
    # The program has handed the demo download page to the browser; keep
    # serving it while the browser starts.
    echo "launch: serving the download page for 15 more seconds"
    sleep 15
  fi
  exit "$status"
fi

# No display: a virtual one, on a free display number Xvfb picks itself.
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/display" \
  >/dev/null 2>&1 &
started+=($!)
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.05
done
[[ -s "$work/display" ]] || { echo "launch: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

ZOQ_WINE_DISPLAY=$DISPLAY "${command[@]}" &
app=$!
started+=("$app")

# Qt marks its message boxes modal. Wine does not: there a box is a dialog
# (#32770) whose client area is the X window, as the window lister tells.
is_modal() {
  if $windows; then
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1" 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    ZOQ_WINE_DISPLAY=$DISPLAY timeout 10 "$top/cmake/wine-run.sh" "$wine_state" "$winlist" zoq.exe |
      awk -F'\t' -v at="$X,$Y,$WIDTH,$HEIGHT" '$4 == "#32770" && $7 == at { found = 1 }
                                                END { exit !found }'
  else
    xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MODAL
  fi
}

# The message box of the start-up check comes first and carries the same
# title; answer it, then wait for the main window itself.
main=""
deadline=$((SECONDS + 60))
while ((SECONDS < deadline)); do
  if ! kill -0 "$app" 2>/dev/null; then
    status=0
    wait "$app" || status=$?
    echo "launch: the program ended (exit code $status) without showing its main window"
    exit "$status"
  fi
  for id in $(timeout 5 xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null || true); do
    if is_modal "$id"; then
      timeout 5 xdotool windowfocus --sync "$id" key Return 2>/dev/null || true
    else
      main=$id
    fi
  done
  [[ -n "$main" ]] && break
  sleep 0.1
done
[[ -n "$main" ]] || { echo "launch: the main window did not appear" >&2; exit 1; }

sleep 1.5  # the clock line's first ticks
shot=$build/screenshot.png
import -window root "$shot"
echo "Screenshot of the main window: $shot"
