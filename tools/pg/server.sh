#!/bin/sh
# A throwaway PostgreSQL server for the tests and benchmarks: its own folder, loopback only.
#
#   tools/pg/server.sh start FOLDER PORT    creates the cluster on first use, then starts it
#   tools/pg/server.sh stop FOLDER          stops it (fast shutdown: open sessions are cut)
#   tools/pg/server.sh remove FOLDER        stops it and removes the cluster
#   tools/pg/server.sh load FOLDER SCRIPT   runs a load script (sampledb pgscript) as superuser
#   tools/pg/server.sh psql FOLDER ARGS...  psql as superuser over the folder's socket
#
# The cluster holds database "mirel" (UTF-8, byte-order collation, as the SQLite files
# compare) and two roles: sbf_owner, which owns what a load script creates, and sbf_reader
# (password "sbf_reader"), which may only read: every transaction it opens is read-only and
# it is granted SELECT only. TCP logins need a password; the folder's socket trusts the
# local superuser. Run as root, the server runs as the system user "postgres".
set -eu

bin=${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
[ -x "$bin/pg_ctl" ] || { echo "server.sh: PostgreSQL server binaries not found (Debian package postgresql)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { sed -n '2,9p' "$0" >&2; exit 64; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
# The cluster and its socket live in the folder; when the server's user cannot reach it
# (run as root in a folder under a private home), in a folder of its own under /tmp that
# the folder names in "home".
if [ -f "$dir/home" ]; then
  home=$(cat "$dir/home")
elif [ "$(id -u)" -eq 0 ] && ! { chown postgres "$dir" && runuser -u postgres -- test -w "$dir"; }; then
  home=$(mktemp -d /tmp/mirel-pg.XXXXXX)
  chown postgres "$home"
  echo "$home" >"$dir/home"
else
  home=$dir
fi
data="$home/cluster"

psql_super() {
  as_owner "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$home" -p "$(cat "$dir/port")" -U postgres -d "${DB:-mirel}" "$@"
}

case "$cmd" in
  start)
    port=${3:?port}
    if [ ! -f "$data/PG_VERSION" ]; then
      as_owner "$bin/initdb" -D "$data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
        --encoding=UTF8 --locale=C >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
      fresh=1
    fi
    echo "$port" >"$dir/port"
    as_owner "$bin/pg_ctl" -D "$data" -l "$home/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$home -c max_connections=100" start >/dev/null
    if [ -n "${fresh:-}" ]; then
      DB=postgres psql_super <<'SQL'
CREATE DATABASE mirel TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C';
CREATE ROLE sbf_owner NOLOGIN;
CREATE ROLE sbf_reader LOGIN PASSWORD 'sbf_reader';
ALTER ROLE sbf_reader SET default_transaction_read_only = on;
REVOKE ALL ON DATABASE mirel FROM PUBLIC;
GRANT CONNECT ON DATABASE mirel TO sbf_reader;
SQL
      psql_super -c "REVOKE CREATE ON SCHEMA public FROM PUBLIC; REVOKE ALL ON SCHEMA public FROM PUBLIC;"
    fi
    ;;
  stop)
    [ -f "$data/postmaster.pid" ] || exit 0
    as_owner "$bin/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null
    ;;
  remove)
    # Stops the server and removes the cluster (and its folder under /tmp, if any).
    [ ! -f "$data/postmaster.pid" ] || as_owner "$bin/pg_ctl" -D "$data" -m immediate -w -t 60 stop >/dev/null || true
    [ "$home" = "$dir" ] || rm -rf "$home"
    rm -rf "$dir"
    ;;
  load)
    script=${3:?script}
    psql_super -1 -f - <"$script"
    ;;
  psql)
    shift 2
    psql_super "$@"
    ;;
  *)
    echo "server.sh: unknown command $cmd" >&2
    exit 64
    ;;
esac
