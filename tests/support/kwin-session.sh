#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a private headless KWin in DIR: a Wayland socket with data-control,
# Xwayland for X11 clients, and KWin's D-Bus interfaces on a session bus of
# its own. KWin wants what a desktop session gives it: it runs as the
# session user (session-user.sh), on a private system bus, in a mount
# namespace where /run/systemd is empty so that it does not look for logind
# (when started by root; otherwise in the caller's session).
# The installed binary carries a file capability that a container may refuse
# at exec; a copy of it has none. Everything runs in a session of its own, so
# that one signal to its leader's group ends it all.
#
# Writes DIR/env (WAYLAND_DISPLAY, DISPLAY, XAUTHORITY and
# DBUS_SESSION_BUS_ADDRESS as shell assignments) and DIR/pid (the session's
# leader), then exits; 1 when KWin did not start.
set -u
dir=$1

. "$(dirname "$0")/session-user.sh"

chmod 0755 "$dir"
runtime="$dir/kwin"
mkdir -m 0700 "$runtime"
cp "$(command -v kwin_wayland)" "$dir/kwin_wayland"
chmod 0755 "$dir/kwin_wayland"
chown "$owner" "$runtime"

# KWin starts this once Xwayland runs, with the environment its clients get.
# Its Xwayland admits only KWin's user; root clients are let in as well, as
# sway-session.sh does.
cat >"$runtime/started" <<'SCRIPT'
#!/bin/sh
xhost +si:localuser:root >/dev/null 2>&1
{
  echo "WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
  echo "DISPLAY=$DISPLAY"
  [ -z "${XAUTHORITY:-}" ] || echo "XAUTHORITY=$XAUTHORITY"
  echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
} >"$XDG_RUNTIME_DIR/env.new" && mv "$XDG_RUNTIME_DIR/env.new" "$XDG_RUNTIME_DIR/env"
SCRIPT
chmod 0755 "$runtime/started"
chown "$owner" "$runtime/started"

# Run as the session user: its two buses (a private one stands for the
# system's), then KWin.
cat >"$runtime/run" <<SCRIPT
#!/bin/sh
$(private_buses "$runtime")
exec "$dir/kwin_wayland" --virtual --no-lockscreen --no-global-shortcuts --width 1280 \\
  --height 800 --socket wayland-kwin --xwayland "$runtime/started"
SCRIPT
chmod 0755 "$runtime/run"
start_session_script "$runtime" "$dir/kwin.log"
kwin_pid=$session_pid
echo "$kwin_pid" >"$dir/pid"

take_session_env "$runtime" "$kwin_pid" 20 "$dir" "kwin-session: KWin did not start" \
  "$dir/kwin.log" || exit 1
