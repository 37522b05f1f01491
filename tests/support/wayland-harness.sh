#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless Wayland session: sway's
# (sway-session.sh), or with --session NAME the one NAME-session.sh starts
# (kwin), or with --compositor inside the compositor that command line starts
# (our test compositor, which prints its socket's name once it serves).
# Everything started here is stopped when the test ends.
#
#   wayland-harness.sh [--session NAME | --compositor "PROGRAM OPTIONS..."] TEST_PROGRAM [ARGS...]
set -u
compositor=
session=sway
if [ "${1:-}" = --compositor ]; then
  compositor=$2
  shift 2
elif [ "${1:-}" = --session ]; then
  session=$2
  shift 2
fi
test_program=$1; shift
here=$(dirname "$0")

tmp=$(mktemp -d)
cleanup() {
  [ -n "${compositor_pid:-}" ] && kill -TERM "$compositor_pid" 2>/dev/null
  # A session's compositor runs in a session of its own: this ends it,
  # Xwayland and their children.
  [ -s "$tmp/pid" ] && kill -TERM -- "-$(cat "$tmp/pid")" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_HARNESS_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT

# The test's own runtime directory; the compositor's sockets are named below.
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

if [ -z "$compositor" ]; then
  "$here/$session-session.sh" "$tmp" || exit 1
  # Only what the session names is used.
  unset DBUS_SESSION_BUS_ADDRESS XAUTHORITY
  set -a
  . "$tmp/env"
  set +a
  if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    dbus-run-session -- "$test_program" "$@"
    exit
  fi
  # The session's own bus admits only its user: the test runs as that user,
  # as a program of the desktop would.
  . "$here/session-user.sh"
  export HOME="$tmp/home"
  mkdir -m 0700 "$HOME"
  chown "$owner" "$HOME" "$XDG_RUNTIME_DIR"
  "${run_as[@]}" "$test_program" "$@"
  exit
fi

# The options are split into words on purpose.
# shellcheck disable=SC2086
coproc COMPOSITOR { exec $compositor; }
compositor_pid=$COMPOSITOR_PID
if ! read -r socket <&"${COMPOSITOR[0]}"; then
  echo "wayland-harness: $compositor did not start" >&2
  exit 1
fi
unset DISPLAY
export WAYLAND_DISPLAY="$socket"
dbus-run-session -- "$test_program" "$@"
status=$?
# The compositor frees all it holds as it ends; a fault or leak it reports
# there fails the test as well.
kill -TERM "$compositor_pid"
wait "$compositor_pid" || status=1
compositor_pid=
exit "$status"
