#!/bin/sh
# Installs what the build and the tests need (tools/deps.sh: apt-get when run as root,
# otherwise it names the command to run), builds everything with warnings as errors and
# runs every test:
#   ./test.sh              plain build in build/
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   --sqlite-only          leave out the database-server tests
# Unless --sqlite-only is given, a throwaway PostgreSQL server (tools/pg/server.sh) is
# started in <build folder>/pg, loaded with the sample, and the end-to-end tests run once
# on SQLite and once on it through ODBC; the server is stopped at the end.
# Also installs the library into a staging folder and builds a host against the package.
set -eu
cd "$(dirname "$0")"

dir=build
sanitize=OFF
server=on
port=${MIREL_PG_PORT:-54329}
for arg in "$@"; do
  case "$arg" in
    --sanitize) dir=build-asan; sanitize=ON; port=${MIREL_PG_PORT:-54339} ;;
    --sqlite-only) server=off ;;
    *) echo "usage: ./test.sh [--sanitize] [--sqlite-only]" >&2; exit 64 ;;
  esac
done
jobs=$(nproc 2>/dev/null || echo 2)

groups="build test"
[ "$server" = off ] || groups="$groups server"
tools/deps.sh install $groups
# npm's packages (package-lock.json): the sample's cars, the browser driver, the linters and
# the OpenAPI validator of the tests.
npm ci --no-audit --no-fund

cleanup=""
trap 'eval "$cleanup"' EXIT
serverfile=""
if [ "$server" = on ]; then
  if ! odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null 2>&1; then
    echo "test.sh: the ODBC driver \"PostgreSQL Unicode\" is not registered (Debian: odbc-postgresql);" >&2
    echo "         reinstall it, or run ./test.sh --sqlite-only" >&2
    exit 1
  fi
  mkdir -p "$dir"
  pg="$PWD/$dir/pg"
  tools/pg/server.sh remove "$pg" 2>/dev/null || true
  tools/pg/server.sh start "$pg" "$port"
  cleanup="tools/pg/server.sh remove '$pg' || true; $cleanup"
  serverfile="$pg/test-server.conf"
  printf '%s\n%s\n%s\n' \
    "Provider=ODBC;Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=mirel;Uid=sbf_reader;Pwd=sbf_reader" \
    "$pg" "$port" >"$serverfile"
fi

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DMIREL_WARNINGS_AS_ERRORS=ON \
      -DMIREL_SANITIZE="$sanitize" -DMIREL_BUILD_TESTS=ON -DMIREL_BUILD_TOOLS=ON \
      -DMIREL_TEST_SERVER_FILE="$serverfile"
cmake --build "$dir" -j "$jobs"

if [ "$server" = on ]; then
  # The same sample the SQLite tests build, loaded as schemas specs and prj.
  "$dir/tools/sampledb/sampledb" cars --cars node_modules/vega-datasets/data/cars.json --out "$pg/sample" >/dev/null
  "$dir/tools/sampledb/sampledb" pgscript --from "$pg/sample" --out "$pg/sample.sql" --reader sbf_reader >/dev/null
  tools/pg/server.sh load "$pg" "$pg/sample.sql"
  echo "test.sh: PostgreSQL on 127.0.0.1:$port holds the sample"
fi
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"

# The fuzzers (tests/fuzz), a few seconds each from their seed corpora, in a clang build of their own.
if [ "$sanitize" = OFF ] && command -v clang++ >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DMIREL_WARNINGS_AS_ERRORS=ON \
        -DMIREL_BUILD_FUZZERS=ON -DMIREL_BUILD_TESTS=OFF -DMIREL_BUILD_TOOLS=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs"
  ctest --test-dir build-fuzz --output-on-failure -j "$jobs"
elif [ "$sanitize" = OFF ]; then
  echo "test.sh: no clang++ (Debian: clang libclang-rt-14-dev): the fuzzers did not run" >&2
fi

if [ "$sanitize" = OFF ]; then
  rm -rf "$dir/stage" "$dir/package-host"
  cmake --install "$dir" --prefix "$dir/stage" >/dev/null
  cmake -S tests/package -B "$dir/package-host" -DCMAKE_PREFIX_PATH="$PWD/$dir/stage" >/dev/null
  cmake --build "$dir/package-host" >/dev/null
  data=$(mktemp -d)
  cleanup="rm -rf '$data'; $cleanup"
  "$dir/tools/sampledb/sampledb" cars --cars node_modules/vega-datasets/data/cars.json --out "$data" >/dev/null
  "$dir/package-host/host" "$data" | head -n 1
  echo "package: a host built against the installed library ran"
fi
