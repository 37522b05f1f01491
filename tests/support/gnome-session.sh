#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a private headless GNOME Shell in DIR with the Quillstack companion
# extension ($QUILLSTACK_GNOME_EXTENSION, a staged extension directory)
# installed for its user and enabled, and Xwayland for X11 clients. Like KWin
# it wants what a desktop session gives it: it runs as the session user
# (session-user.sh), on a private system bus, in a mount namespace where
# /run/systemd is empty so that it does not look for logind (when started by
# root). Everything runs in a session of its own, so that one signal to its
# leader's group ends it all.
#
# Writes DIR/env (WAYLAND_DISPLAY, DISPLAY, XAUTHORITY and
# DBUS_SESSION_BUS_ADDRESS as shell assignments) and DIR/pid (the session's
# leader) once the extension answers on the bus, then exits; 1 when the
# shell or the extension did not start.
set -u
dir=$1
extension=${QUILLSTACK_GNOME_EXTENSION:?the staged extension directory}
uuid=$(basename "$extension")

. "$(dirname "$0")/session-user.sh"

chmod 0755 "$dir"
runtime="$dir/gnome"
mkdir -m 0700 "$runtime"
mkdir -p "$runtime/.local/share/gnome-shell/extensions"
cp -r "$extension" "$runtime/.local/share/gnome-shell/extensions/$uuid"
chown -R "$owner" "$runtime"

# Run as the session user: its two buses (a private one stands for the
# system's), the extension enabled, then the shell; the environment its
# clients need is written once the extension owns its name.
cat >"$runtime/run" <<SCRIPT
#!/bin/sh
$(private_buses "$runtime")
gsettings set org.gnome.shell enabled-extensions "['$uuid']"
gnome-shell --headless --wayland --virtual-monitor 1280x800 &
shell=\$!
# Ready once the extension answers and the shell's Xwayland runs.
until gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \\
    --method org.freedesktop.DBus.NameHasOwner io.github.quillstack.Shell 2>/dev/null \\
    | grep -q true && xwayland=\$(pgrep -P \$shell -x Xwayland | head -n1) && [ -n "\$xwayland" ]; do
  kill -0 \$shell 2>/dev/null || exit 1
  sleep 0.2
done
set -- \$(tr '\0' ' ' </proc/\$xwayland/cmdline)
display=\$2
auth=
while [ \$# -gt 0 ]; do
  [ "\$1" = -auth ] && auth=\$2
  shift
done
{
  echo "WAYLAND_DISPLAY=$runtime/wayland-0"
  echo "DISPLAY=\$display"
  [ -z "\$auth" ] || echo "XAUTHORITY=\$auth"
  echo "DBUS_SESSION_BUS_ADDRESS=unix:path=$runtime/bus"
} >"$runtime/env.new" && mv "$runtime/env.new" "$runtime/env"
wait \$shell
SCRIPT
chmod 0755 "$runtime/run"
start_session_script "$runtime" "$dir/gnome.log" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
shell_pid=$session_pid
echo "$shell_pid" >"$dir/pid"

# The shell starts in a few seconds here; 25 to 40 have been seen elsewhere.
take_session_env "$runtime" "$shell_pid" 150 "$dir" \
  "gnome-session: GNOME Shell or the companion did not start" "$dir/gnome.log" || exit 1
