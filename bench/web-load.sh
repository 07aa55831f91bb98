#!/bin/sh
# sbf-web under load, on the loopback address only, bounded in time:
#   bench/web-load.sh [SECONDS]          (default 60; the other runs take half of it)
#   SBF_WEB=build-asan/tools/sbf-web/sbf-web bench/web-load.sh 20   (an ASan build, shorter)
#   VEHICLES=10000 bench/web-load.sh 30                               (smaller data)
#   DATA=build-bench/data-100000-200-c150 bench/web-load.sh 60        (a folder of its own: the
#                                                    164-row screen bench/click.sh builds)
#   START=/api/screen?incl=advanced,old,built ...   (the clients' first screen; default
#                                                    the default filters, /api/screen)
# Builds a Release sbf-web and sampledb in build-bench/ (unless SBF_WEB names a binary) and
# the synthetic databases of VEHICLES (default 100,000) in build-bench/web-data-N (once) with
# their index file, then runs
# bench/web-clients.mjs against one server:
#   1. 64 clients clicking for SECONDS: requests/s, p50/p99, errors, resident memory
#   2. 8 clients for SECONDS/2, the unloaded figure
#   3. the same 8 clients while 200 connections send their heads a byte at a time
#   4. a new server, 64 clients, SIGTERM after SECONDS/4: no broken or empty body, exit 0
# Prints one JSON line per run. The machine's cores are shared: say so beside the figures.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
half=$((seconds / 2))
dir=build-bench
if [ -z "${SBF_WEB:-}" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_TOOLS=ON >/dev/null
  cmake --build "$dir" -j 2 --target sbf-web sampledb sbf >/dev/null
  SBF_WEB=$dir/tools/sbf-web/sbf-web
fi
vehicles=${VEHICLES:-100000}
data=${DATA:-$dir/web-data-$vehicles}
if [ ! -f "$data/specs.db" ]; then
  cmake --build "$dir" -j 2 --target sampledb >/dev/null 2>&1 || true
  sampledb=$dir/tools/sampledb/sampledb
  [ -x "$sampledb" ] || sampledb=build/tools/sampledb/sampledb
  "$sampledb" synthetic --vehicles "$vehicles" --out "$data"
fi
sbf=$(dirname "$SBF_WEB")/../sbf/sbf
"$sbf" index --check --data "$data" >/dev/null 2>&1 || "$sbf" index --data "$data"
[ -d node_modules/ajv ] || npm ci --no-audit --no-fund

log=$(mktemp)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -f "$log"' EXIT
# Starts a server on a free port of 127.0.0.1 and waits until it is ready.
start() {
  # The defaults a user gets (the engine's settings, the budget of what it keeps).
  "$SBF_WEB" --port 0 --data "$data" --threads 8 --access-log /dev/null --drain-seconds 10 >"$log" 2>&1 &
  pid=$!
  url=""
  for _ in $(seq 1 3000); do
    url=$(sed -n 's|^sbf-web: listening on \(http://[^/]*\)/$|\1|p' "$log")
    [ -n "$url" ] && curl -sf "$url/readyz" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "web-load.sh: the server did not get ready:" >&2
  cat "$log" >&2
  exit 1
}
clients() { node bench/web-clients.mjs --url "$url" --pid "$pid" --start "${START:-/api/screen}" "$@"; }

start
echo "64 clients, $seconds s:"
clients --clients 64 --seconds "$seconds"
echo "8 clients, $half s:"
clients --clients 8 --seconds "$half"
echo "8 clients and 200 stalled connections, $half s:"
clients --clients 8 --stalled 200 --seconds "$half"
kill -TERM "$pid"
wait "$pid" || { echo "web-load.sh: the server exited with $? after SIGTERM" >&2; exit 1; }

start
echo "64 clients, SIGTERM after $((seconds / 4)) s:"
clients --clients 64 --seconds "$half" --sigterm-after "$((seconds / 4))"
status=0
wait "$pid" || status=$?
pid=""
echo "exit status after SIGTERM: $status"
grep -i "AddressSanitizer\|LeakSanitizer\|runtime error" "$log" && exit 1
[ "$status" -eq 0 ]
