#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless sway session (see
# sway-session.sh), or with --compositor inside the compositor that command
# line starts (our test compositor, which prints its socket's name once it
# serves). Everything started here is stopped when the test ends.
#
#   wayland-harness.sh [--compositor "PROGRAM OPTIONS..."] TEST_PROGRAM [ARGS...]
set -u
compositor=
if [ "${1:-}" = --compositor ]; then
  compositor=$2
  shift 2
fi
test_program=$1; shift

tmp=$(mktemp -d)
cleanup() {
  [ -n "${compositor_pid:-}" ] && kill -TERM "$compositor_pid" 2>/dev/null
  # sway runs in a session of its own: this ends it, Xwayland and its children.
  [ -s "$tmp/pid" ] && kill -TERM -- "-$(cat "$tmp/pid")" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_HARNESS_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT

# The test's own runtime directory; the compositor's sockets are named below.
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

if [ -z "$compositor" ]; then
  "$(dirname "$0")/sway-session.sh" "$tmp" || exit 1
  set -a
  . "$tmp/env"
  set +a
  dbus-run-session -- "$test_program" "$@"
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
