#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program against a private X server: Xvfb on a free display,
# a session bus, and openbox as the window manager (QUILLSTACK_NO_WM=1 skips
# it). Everything started here is stopped when the test ends.
set -u
test_program=$1; shift

tmp=$(mktemp -d)
cleanup() {
  [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 100); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
if [ ! -s "$tmp/display" ]; then
  echo "x11-harness: Xvfb did not start" >&2
  cat "$tmp/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$tmp/display")"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

if [ "${QUILLSTACK_NO_WM:-0}" != 1 ] && command -v openbox >/dev/null; then
  openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
  wm_pid=$!
  # Tests stop it for a while to play a slow window manager.
  export QUILLSTACK_WM_PID=$wm_pid
  # Wait until the window manager has claimed the screen.
  for _ in $(seq 1 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
fi

dbus-run-session -- "$test_program" "$@"
