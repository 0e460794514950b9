#!/usr/bin/env bash
# Builds TQ582 and runs every test: the README's test command and what CI runs.
# Usage: scripts/test.sh [default|sanitize]
#
# A throw-away PostgreSQL server (scripts/pg-test-server.sh) serves the "pg.*" tests, which
# run the storage, operation and tool tests on the server engine; it is stopped and removed
# when this script ends, also on failure. Without it those tests report themselves skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
bash scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

pgdir=""
stop_server() {
  if [ -n "$pgdir" ]; then bash scripts/pg-test-server.sh stop "$pgdir"; fi
}
trap stop_server EXIT
if pgdir="$(bash scripts/pg-test-server.sh start)"; then
  TQ582_TEST_PG_URI="$(cat "$pgdir/uri")"
  export TQ582_TEST_PG_URI
else
  pgdir=""
  echo "warning: no PostgreSQL test server could be started; the pg.* tests are skipped" >&2
fi
ctest --preset "$preset" -j2
