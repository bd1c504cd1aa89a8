#!/usr/bin/env bash
# A PostgreSQL cluster for one test run, shared by all test programs (they create a database
# each): "start DIR" creates it in DIR, starts it on a free loopback port and prints the port;
# "stop DIR" stops it and removes DIR. As root the cluster belongs to the user postgres.
# User "korvane", password "korvane-test-pw" (as tests/support/PostgresServer.h expects).
set -euo pipefail
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
as_owner() { if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi; }

case "$action" in
  start)
    [[ -x "$bin/initdb" ]] || { echo "PostgreSQL server programs are not installed" >&2; exit 1; }
    mkdir -p "$dir"
    printf 'korvane-test-pw\n' > "$dir/pw"
    [[ $(id -u) -eq 0 ]] && chown -R postgres "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -U korvane --pwfile="$dir/pw" --auth=scram-sha-256 \
      -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    # Durability is not tested here; small shared buffers, since every TRUNCATE and DROP between
    # tests scans them all.
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=100 -c shared_buffers=16MB" \
      start >/dev/null
    echo "$port"
    ;;
  stop)
    [[ -d "$dir/data" ]] && as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  *) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
