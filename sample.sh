#!/bin/sh
# Builds the command-line host and the sample databases (in data/sample) when they are
# missing, then runs a sample count and vehicle list. Any arguments go to one sbf call
# instead, e.g. ./sample.sh count --value 7401:0::JP
set -eu
cd "$(dirname "$0")"

[ -d node_modules/vega-datasets ] || npm ci --no-audit --no-fund
if [ ! -x build/tools/sbf/sbf ] || [ ! -x build/tools/sampledb/sampledb ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_TOOLS=ON >/dev/null
fi
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target sbf sampledb >/dev/null
if [ ! -f data/sample/specs.db ] || [ ! -f data/sample/prj.db ]; then
  build/tools/sampledb/sampledb cars --cars node_modules/vega-datasets/data/cars.json --out data/sample
fi

if [ "$#" -gt 0 ]; then
  exec build/tools/sbf/sbf "$@" --data data/sample
fi
set -x
build/tools/sbf/sbf count --data data/sample
build/tools/sbf/sbf count --data data/sample --value 7401:0::EU --range 135:0::70:100
build/tools/sbf/sbf vehicles --data data/sample --value 7401:0::EU --range 135:0::70:100 --sort name,model_year
