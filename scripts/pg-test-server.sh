#!/usr/bin/env bash
# A throw-away PostgreSQL 15 server for the tests and benchmarks: its own folder under the
# temporary directory, listening on 127.0.0.1 only, on a free port, role "tq582" trusted.
#
#   scripts/pg-test-server.sh start [--durable]   prints the server's folder; its URI is in
#                                                 FOLDER/uri ("postgresql://tq582@127.0.0.1:PORT/postgres")
#   scripts/pg-test-server.sh stop FOLDER         stops the server and removes the folder
#   scripts/pg-test-server.sh pause FOLDER        stops it, keeping the data (a server gone)
#   scripts/pg-test-server.sh resume FOLDER       starts it again on the same port
#
# Without --durable the server skips flushing to disk: the tests stop it cleanly, and a test
# run should not wait for the disk. The benchmarks pass --durable.
set -euo pipefail

bindir=/usr/lib/postgresql/15/bin
[ -x "$bindir/initdb" ] || { echo "PostgreSQL 15 is not installed ($bindir/initdb)" >&2; exit 1; }

# initdb and pg_ctl refuse to run as root: they run as the postgres user then.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
}

start_server() {
  local dir="$1"
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -o "$(cat "$dir/options")" start >/dev/null
}

case "${1:-}" in
  start)
    durable=0
    [ "${2:-}" = "--durable" ] && durable=1
    dir="$(mktemp -d "${TMPDIR:-/tmp}/tq582-pg.XXXXXX")"
    chmod 755 "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    as_owner "$bindir/initdb" -D "$dir/data" -U tq582 -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; rm -rf "$dir"; exit 1; }
    port="$(free_port)"
    opts="-c listen_addresses=127.0.0.1 -p $port -k $dir -c max_connections=60"
    if [ "$durable" -eq 0 ]; then opts="$opts -c fsync=off -c full_page_writes=off"; fi
    echo "$opts" >"$dir/options"
    if ! start_server "$dir"; then
      cat "$dir/server.log" >&2 || true
      rm -rf "$dir"
      exit 1
    fi
    echo "postgresql://tq582@127.0.0.1:$port/postgres" >"$dir/uri"
    echo "$dir"
    ;;
  stop)
    dir="${2:?folder of the server}"
    [ -f "$dir/options" ] || { echo "not a test server folder: $dir" >&2; exit 1; }
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  pause)
    dir="${2:?folder of the server}"
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
  resume)
    dir="${2:?folder of the server}"
    start_server "$dir"
    ;;
  *)
    echo "usage: $0 start [--durable] | stop FOLDER | pause FOLDER | resume FOLDER" >&2
    exit 2
    ;;
esac
