#!/bin/sh
# The click benchmark on 10,000 and 100,000 synthetic vehicles, with 16 and with 216
# equipment rows per vehicle (sampledb synthetic --items 0 and the default 200):
#   bench/click.sh [CLICKS] [PLAIN_CLICKS]     (default 40 clicks, 2 of them also as written)
# Builds a Release tree in build-bench/ and the databases in build-bench/data-* (once; the
# largest is about 1.6 GB and takes a few minutes). Prints one table per database.
set -eu
cd "$(dirname "$0")/.."
dir=build-bench
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_BENCH=ON -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j 2 --target sbf_click_bench sampledb >/dev/null
folders=""
for vehicles in 10000 100000; do
  for items in 0 200; do
    data="$dir/data-$vehicles-$items"
    [ -f "$data/specs.db" ] || "$dir/tools/sampledb/sampledb" synthetic --vehicles "$vehicles" --items "$items" --out "$data"
    folders="$folders $data"
  done
done
"$dir/bench/sbf_click_bench" --clicks "${1:-40}" --plain-clicks "${2:-2}" $folders
