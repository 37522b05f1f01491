#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages listed in scripts/packages.txt that are missing.
# Non-interactive; uses sudo when not root. Does nothing when all are present.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
if [ -n "${QUILLSTACK_EXTRA_PACKAGES:-}" ]; then
  read -r -a extra <<<"$QUILLSTACK_EXTRA_PACKAGES"
  wanted+=("${extra[@]}")
fi
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
# Wait for another package manager run instead of failing at once.
lock=(-o DPkg::Lock::Timeout=600)
"${sudo[@]}" apt-get "${lock[@]}" update -q
"${sudo[@]}" apt-get "${lock[@]}" install -y -q --no-install-recommends "${missing[@]}"
