#!/usr/bin/env bash
# Builds TQ582 and starts the terminal on the demo site in site/ (embedded database in
# site/DB/, created on first start). Extra arguments are passed to the terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
root="$PWD"
bash scripts/demo-data.sh "$root/build/default/bin/tq582ctl" "$root/site/TQ582"
cd site/TQ582
exec "$root/build/default/bin/TQ582" "$@"
