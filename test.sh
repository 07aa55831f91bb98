#!/bin/sh
# Builds everything with warnings as errors and runs every test:
#   ./test.sh              plain build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
# Also installs the library into a staging folder and builds a host against the package.
set -eu
cd "$(dirname "$0")"

dir=build
sanitize=OFF
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  sanitize=ON
fi
jobs=$(nproc 2>/dev/null || echo 2)

[ -d node_modules/vega-datasets ] || npm ci --no-audit --no-fund

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DMIREL_WARNINGS_AS_ERRORS=ON \
      -DMIREL_SANITIZE="$sanitize" -DMIREL_BUILD_TESTS=ON -DMIREL_BUILD_TOOLS=ON
cmake --build "$dir" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"

if [ "$sanitize" = OFF ]; then
  rm -rf "$dir/stage" "$dir/package-host"
  cmake --install "$dir" --prefix "$dir/stage" >/dev/null
  cmake -S tests/package -B "$dir/package-host" -DCMAKE_PREFIX_PATH="$PWD/$dir/stage" >/dev/null
  cmake --build "$dir/package-host" >/dev/null
  data=$(mktemp -d)
  trap 'rm -rf "$data"' EXIT
  "$dir/tools/sampledb/sampledb" cars --cars node_modules/vega-datasets/data/cars.json --out "$data" >/dev/null
  "$dir/package-host/host" "$data" | head -n 1
  echo "package: a host built against the installed library ran"
fi
