#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds with AddressSanitizer, UndefinedBehaviorSanitizer
# and -Werror, and runs every test with CTest (X11 tests start their own Xvfb).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
# The sources keep one format (.clang-format); a stray line fails here, named.
find "$root/src" "$root/tests" "$root/bench" "$root/fuzz" \( -name '*.cpp' -o -name '*.h' \) -print0 \
  | xargs -0 clang-format --dry-run -Werror
build=${QUILLSTACK_TEST_BUILD_DIR:-$root/build-test}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
  -DQUILLSTACK_SANITIZE=ON -DQUILLSTACK_WERROR=ON -DQUILLSTACK_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
# No display is needed here: unit tests run offscreen, X11 tests bring their own server,
# and the sharing tests (label sync, about 50 s one after another) their own two
# Syncthing instances on 127.0.0.1 (tests/support/syncthing-pair.sh).
unset DISPLAY WAYLAND_DISPLAY
exec ctest --output-on-failure --parallel "$(nproc)" "$@"
