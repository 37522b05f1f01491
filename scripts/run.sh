#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Quillstack and starts it in the current
# desktop session.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${QUILLSTACK_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLSTACK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target quillstack
exec "$build/src/quillstack" "$@"
