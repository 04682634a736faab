#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test under a window manager of its own: a fresh Xvfb on a free
# display with openbox on it. Everything started here is stopped again,
# whatever way the test ends.
#   run-under-openbox.sh <test executable> [arguments...]
set -euo pipefail

for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool fehlt (scripts/deps.sh installiert es); Test übersprungen." >&2
    exit 77
  fi
done

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
cleanup() {
  stop
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

stop() {
  for pid in $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  wm_pid=""
  xvfb_pid=""
}

# Xvfb picks a free display itself and writes its number once it accepts
# connections; openbox is ready once it names itself on the root window.
# Another server starting at the same moment can take the same number, so a
# start that does not come up is tried again on another display.
start() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  [ -s "$work/display" ] || return 1
  export DISPLAY=":$(head -n1 "$work/display")"

  # openbox reads and writes nothing of the user's own.
  XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

started=""
for _ in 1 2 3 4 5; do
  if start; then
    started=1
    break
  fi
  stop
done
if [ -z "$started" ]; then
  echo "Xvfb mit openbox startet nicht:" >&2
  cat "$work/xvfb.log" "$work/openbox.log" >&2 2>/dev/null || true
  exit 1
fi

export QT_QPA_PLATFORM=xcb
status=0
"$@" || status=$?
exit "$status"
