#!/bin/sh
# Searches per second with 1, 2, 4 and 8 threads, SQLite beside PostgreSQL through ODBC:
#   bench/load.sh [VEHICLES]     (default 10000 synthetic vehicles)
# Builds a Release tree in build-bench/, starts a throwaway PostgreSQL server in
# build-bench/pg, loads the same databases into it and stops it at the end.
set -eu
cd "$(dirname "$0")/.."
vehicles=${1:-10000}
port=${MIREL_PG_PORT:-54349}
dir=build-bench
pg="$PWD/$dir/pg"

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_BENCH=ON -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j 2 --target sbf_load_bench sampledb >/dev/null

tools/pg/server.sh remove "$pg" 2>/dev/null || true
tools/pg/server.sh start "$pg" "$port"
trap 'tools/pg/server.sh remove "$pg" || true' EXIT
"$dir/tools/sampledb/sampledb" synthetic --vehicles "$vehicles" --out "$pg/data" >/dev/null
"$dir/tools/sampledb/sampledb" pgscript --from "$pg/data" --out "$pg/data.sql" --reader sbf_reader >/dev/null
tools/pg/server.sh load "$pg" "$pg/data.sql"
printf '%s\n' "Provider=ODBC;Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=mirel;Uid=sbf_reader;Pwd=sbf_reader" >"$pg/server.conf"

MIREL_BENCH_DATA="$pg/data" MIREL_BENCH_SERVER_FILE="$pg/server.conf" "$dir/bench/sbf_load_bench"
