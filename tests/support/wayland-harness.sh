#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless sway session (see
# sway-session.sh). Everything started here is stopped when the test ends.
set -u
test_program=$1; shift

tmp=$(mktemp -d)
cleanup() {
  # sway runs in a session of its own: this ends it, Xwayland and its children.
  [ -s "$tmp/pid" ] && kill -TERM -- "-$(cat "$tmp/pid")" 2>/dev/null
  wait 2>/dev/null
  [ -n "${KEEP_HARNESS_TMP:-}" ] || rm -rf "$tmp"
}
trap cleanup EXIT

"$(dirname "$0")/sway-session.sh" "$tmp" || exit 1
set -a
. "$tmp/env"
set +a
# The test's own runtime directory; the compositor's sockets are named above.
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

dbus-run-session -- "$test_program" "$@"
