#!/usr/bin/env bash
# Builds the Debian package tq582_VERSION_ARCH.deb with CPack from a configured preset
# (default: "default") and prints its path.
# Usage: scripts/package.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target package >&2
dir="$(cmake --preset "$preset" 2>/dev/null | sed -n 's/^-- Build files have been written to: //p')"
ls -t "${dir:-build/$preset}"/tq582_*.deb | head -n 1
