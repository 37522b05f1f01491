#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless Wayland session: sway's
# (sway-session.sh), or the one QUILLSTACK_COMPOSITOR names (kwin:
# kwin-session.sh). Everything started here is stopped when the test ends.
set -u
test_program=$1; shift
here=$(dirname "$0")

tmp=$(mktemp -d)
cleanup() {
  # The compositor runs in a session of its own: this ends it, Xwayland and
  # its children.
  [ -s "$tmp/pid" ] && kill -TERM -- "-$(cat "$tmp/pid")" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_HARNESS_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT

"$here/${QUILLSTACK_COMPOSITOR:-sway}-session.sh" "$tmp" || exit 1
# Only what the session names is used.
unset DBUS_SESSION_BUS_ADDRESS XAUTHORITY
set -a
. "$tmp/env"
set +a
# The test's own runtime directory; the compositor's sockets are named above.
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  dbus-run-session -- "$test_program" "$@"
  exit
fi
# The compositor's session bus admits only its user: the test runs as that
# user, as a program of the desktop would.
. "$here/session-user.sh"
export HOME="$tmp/home"
mkdir -m 0700 "$HOME"
chown "$owner" "$HOME" "$XDG_RUNTIME_DIR"
"${run_as[@]}" "$test_program" "$@"
