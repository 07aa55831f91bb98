#!/bin/sh
# Builds the library, the command-line host, the web host (when cpp-httplib is there) and
# the sample databases (in data/sample) when they are missing and their index file, then runs a sample count
# and vehicle list. Installs only what that needs (tools/deps.sh build). Any arguments go
# to one sbf call instead, e.g. ./sample.sh count --value 7401:0::JP
set -eu
cd "$(dirname "$0")"

tools/deps.sh install build
[ -d node_modules/vega-datasets ] || npm ci --omit=dev --no-audit --no-fund
# The configuration says in one line each what it leaves out (the ODBC connector without
# unixODBC, the web host without cpp-httplib).
[ -f build/CMakeCache.txt ] ||
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_TOOLS=ON >/dev/null
echo "sample.sh: building (a few minutes the first time)"
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
if [ ! -f data/sample/specs.db ] || [ ! -f data/sample/prj.db ]; then
  build/tools/sampledb/sampledb cars --cars node_modules/vega-datasets/data/cars.json --out data/sample
fi
# The engine's index file beside the databases, written again once they have changed.
build/tools/sbf/sbf index --check --data data/sample >/dev/null || build/tools/sbf/sbf index --data data/sample >/dev/null

if [ "$#" -gt 0 ]; then
  exec build/tools/sbf/sbf "$@" --data data/sample
fi
set -x
build/tools/sbf/sbf count --data data/sample
build/tools/sbf/sbf count --data data/sample --value 7401:0::EU --range 135:0::70:100
build/tools/sbf/sbf vehicles --data data/sample --value 7401:0::EU --range 135:0::70:100 --sort name,model_year
