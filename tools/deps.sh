#!/bin/sh
# The Debian packages that the build and the tests need, in one place, and the step that
# installs those missing. sample.sh and test.sh call it; add a package to its group here.
#
#   tools/deps.sh install GROUP...   installs the missing packages of the groups (apt-get,
#                                    after apt-get update, when run as root; otherwise prints
#                                    the one command to run and fails)
#   tools/deps.sh missing GROUP...   prints the missing packages of the groups
#
# Groups:
#   build    the library, the command-line host, the sample-data builder and the sample
#            (npm fetches the sample cars)
#   test     the tests: GoogleTest, the ODBC connector, the web host and its browser test
#            (chromium, the sqlite3 shell), the fuzzers (clang)
#   server   the database-server tests: PostgreSQL with its ODBC driver, FreeTDS
set -eu

build="cmake g++ make pkg-config libsqlite3-dev libicu-dev libroaring-dev libxxhash-dev nlohmann-json3-dev libcli11-dev"
test="libgtest-dev libgmock-dev unixodbc-dev libcpp-httplib-dev chromium sqlite3 clang libclang-rt-14-dev"
server="postgresql odbc-postgresql tdsodbc"

# The packages of the groups named, each once.
packages() {
  out=""
  for group in "$@"; do
    case "$group" in
      build) list=$build ;;
      test) list=$test ;;
      server) list=$server ;;
      *) echo "deps.sh: unknown group \"$group\" (build, test, server)" >&2; exit 64 ;;
    esac
    for p in $list; do
      case " $out " in *" $p "*) ;; *) out="$out $p" ;; esac
    done
  done
  echo "${out# }"
}

# Those not installed. npm may come with a Node.js build of its own: Debian's nodejs and
# npm only when there is no npm at all.
missing() {
  out=""
  for p in $(packages "$@"); do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || out="$out $p"
  done
  case " $* " in *" build "*) command -v npm >/dev/null 2>&1 || out="$out nodejs npm" ;; esac
  echo "${out# }"
}

cmd=${1:-}
[ "$#" -gt 0 ] && shift
case "$cmd" in install|missing) [ "$#" -gt 0 ] ;; *) false ;; esac || { sed -n '5,9p' "$0" >&2; exit 64; }
all=$(packages "$@") || exit 64
if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "deps.sh: not a Debian system; make sure these (Debian's names) are installed: $all" >&2
  exit 0
fi
list=$(missing "$@")
if [ "$cmd" = missing ]; then
  [ -z "$list" ] || echo "$list"
  exit 0
fi
[ -n "$list" ] || exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: $list. Install them with:" >&2
  echo "  sudo sh -c 'apt-get update && apt-get install -y --no-install-recommends $list'" >&2
  exit 1
fi
echo "deps.sh: installing $list"
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $list
