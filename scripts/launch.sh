#!/usr/bin/env bash
# Shows the built program's main window. On a desktop (DISPLAY or
# WAYLAND_DISPLAY set) it runs in a normal window until it is closed. With
# no display it runs on a virtual X server (Xvfb): the start-up message box
# is answered, a screenshot of the main window is saved to a path printed at
# the end, and everything started here is stopped again.
#
# The program checks its version page on 127.0.0.1:18080 at start-up; the
# demo server there serves it (ZOQ_DEMO_VERSION=1.3 shows the mismatch path).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ZOQ_BUILD_DIR:-$top/build}
program=$build/app/zoq
title='Ｚｏｑ个人播放器'
[[ -x "$program" ]] || { echo "launch: $program is not built" >&2; exit 1; }

started=()  # PIDs, stopped in reverse order on the way out
work=$(mktemp -d)
stop_started() {
  local i
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill "${started[i]}" 2>/dev/null || true
    wait "${started[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop_started EXIT

python3 "$top/scripts/demo/demo_server.py" --port 18080 --quiet &
started+=($!)
for _ in $(seq 100); do
  if (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null; then break; fi
  sleep 0.05
done

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  status=0
  "$program" || status=$?
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

"$program" &
app=$!
started+=("$app")

is_modal() { xprop -id "$1" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_MODAL; }

# The message box of the start-up check comes first and carries the same
# title; answer it, then wait for the main window itself.
main=""
for _ in $(seq 300); do
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
