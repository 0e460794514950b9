#!/usr/bin/env bash
# Builds TQ582 and runs every test: the README's test command and what CI runs.
# Usage: scripts/test.sh [default|sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j2
