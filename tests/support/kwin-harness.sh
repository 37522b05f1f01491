#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test program inside a private headless KWin (kwin-session.sh).
exec "$(dirname "$0")/wayland-harness.sh" --session kwin "$@"
