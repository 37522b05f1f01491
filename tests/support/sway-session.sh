#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a private headless sway in DIR: a Wayland socket with data-control
# and foreign-toplevel management, and Xwayland for X11 clients. sway refuses
# to run as root, so under root (as in CI) it runs as an unprivileged user of
# its own (session-user.sh); root clients may still use its sockets,
# and its Xwayland is told to admit root. sway runs in a session of its own,
# so that one signal to it ends it, Xwayland and their children.
#
# Writes DIR/env (WAYLAND_DISPLAY, DISPLAY and SWAYSOCK as shell assignments)
# and DIR/pid (the session's leader), then exits; 1 when sway did not start.
set -u
dir=$1

. "$(dirname "$0")/session-user.sh"

chmod 0755 "$dir"
# sway's runtime directory holds its sockets and must belong to its user.
sway_runtime="$dir/sway"
mkdir -m 0700 "$sway_runtime"
chown "$owner" "$sway_runtime"
cat >"$dir/config" <<CONFIG
xwayland enable
exec sh -c 'xhost +si:localuser:root >/dev/null 2>&1; echo "\$DISPLAY" >$sway_runtime/display.new && mv $sway_runtime/display.new $sway_runtime/display'
CONFIG
chmod 0644 "$dir/config"

setsid "${run_as[@]}" env -i HOME="$sway_runtime" XDG_RUNTIME_DIR="$sway_runtime" \
  PATH=/usr/local/bin:/usr/bin:/bin WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
  WLR_RENDERER=pixman sway -c "$dir/config" >"$dir/sway.log" 2>&1 </dev/null &
sway_pid=$!
echo "$sway_pid" >"$dir/pid"

wait_for_session_file "$sway_runtime/display" "$sway_pid" 10
socket=$(find "$sway_runtime" -maxdepth 1 -type s -name 'wayland-*' | head -n1)
if [ ! -s "$sway_runtime/display" ] || [ -z "$socket" ]; then
  echo "sway-session: sway did not start" >&2
  cat "$dir/sway.log" >&2
  exit 1
fi
{
  echo "WAYLAND_DISPLAY=$socket"
  echo "DISPLAY=$(cat "$sway_runtime/display")"
  echo "SWAYSOCK=$(find "$sway_runtime" -maxdepth 1 -type s -name 'sway-ipc.*' | head -n1)"
} >"$dir/env"
