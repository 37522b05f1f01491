#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless GNOME Shell with the
# Quillstack companion enabled (gnome-session.sh).
exec "$(dirname "$0")/wayland-harness.sh" --session gnome "$@"
