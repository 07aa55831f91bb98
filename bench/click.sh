#!/bin/sh
# The click benchmark: what a stateless host's click costs on data shaped like the real thing.
#
#   bench/click.sh [--shape NAME]... [--clicks N] [--seconds S] [--plain-clicks N]
#
# Shapes (the default is wide and million; with today's engine, whose clicks with counts on the
# wide screen take minutes each, a run took over an hour on two cores shared with other builds;
# the data once more, about 20 minutes):
#   wide     100,000 vehicles, a screen of 164 rows: the sample's 16 criteria and 150 more
#            (sampledb synthetic --items 200 --criteria 150; about 1.2 GB)
#   million  1,000,000 vehicles, the sample's 16 criteria (--items 20; about 2.6 GB, some
#            ten minutes to build)
#   legacy   10,000 and 100,000 vehicles with 16 and 216 rows per vehicle, each beside the
#            texts run as written and an in-memory floor (the tables of docs/performance.md;
#            --plain-clicks N of the clicks also as written, default 2)
#
# For wide and million, each setting runs in a process of its own, so that each line's
# resident memory is that setting's: the defaults (nothing in the connection string), a
# generous budget (Cache MB=4096), and half of what the screen's items need (the engine's
# kept bytes after the first screen with the generous budget), each with the counts off and
# on. A line has the first screen of the new process (cold: the files are in the operating
# system's cache), the first screen again (warm, p50), the clicks (p50, p95: a new Search,
# the state restored, one more choice never made before, DoSearch of all categories, the count
# and the first 50 vehicles by name), what the engine kept after the first screen and at the
# end, and the peak and final resident memory. Before them, `sbf count` and `sbf search` as a
# new process each (three times or for a minute, the median). --clicks N (default 30) clicks per
# setting, or as many as fit in --seconds S with the warm screens (default 60; at least one
# warm screen and three clicks, so a setting of minutes a screen takes a quarter of an hour).
#
# Builds a Release tree in build-bench/ and the databases in build-bench/data-* (once), with
# their index files (sbf index; written again when stale).
set -eu
cd "$(dirname "$0")/.."
dir=build-bench
shapes=""
clicks=30
seconds=60
plain=2
while [ "$#" -gt 0 ]; do
  case "$1" in
    --shape) shapes="$shapes $2"; shift 2 ;;
    --clicks) clicks=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --plain-clicks) plain=$2; shift 2 ;;
    *) sed -n '2,28p' "$0" >&2; exit 64 ;;
  esac
done
[ -n "$shapes" ] || shapes="wide million"
for shape in $shapes; do
  case "$shape" in wide|million|legacy) ;; *) echo "click.sh: unknown shape $shape (wide, million, legacy)" >&2; exit 64 ;; esac
done

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DMIREL_BUILD_BENCH=ON -DMIREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j 2 --target sbf_click_bench sampledb sbf >/dev/null
bench="$dir/bench/sbf_click_bench"
sbf="$dir/tools/sbf/sbf"

# The databases of one shape, built once: data VEHICLES ITEMS [CRITERIA]
data() {
  out="$dir/data-$1-$2${3:+-c$3}"
  if [ ! -f "$out/specs.db" ]; then
    start=$(date +%s)
    "$dir/tools/sampledb/sampledb" synthetic --vehicles "$1" --items "$2" ${3:+--criteria "$3"} --out "$out" >&2
    echo "built $out in $(( $(date +%s) - start )) s" >&2
  fi
  # The engine's index file, as a user writes it after publishing new databases.
  if ! "$sbf" index --check --data "$out" >/dev/null 2>&1; then
    start=$(date +%s)
    "$sbf" index --data "$out" >&2
    echo "index file of $out written in $(( $(date +%s) - start )) s ($(du -h "$out/specs.sbfidx" | cut -f1))" >&2
  fi
  echo "$out"
}

# The figures of one data folder, each setting in a new process.
measure() {
  folder=$1
  start=$(date +%s)
  echo
  echo "$folder: $(du -shL "$folder" | cut -f1) on disk; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "sbf count, a new process:"
  "$bench" --time 3 "$sbf" count --data "$folder"
  # A value choice without a state makes the host judge every row either-or or not first (the
  # screen with counts, and a count of each list's carriers), as a stateless host's first page.
  echo "sbf count --value 7401:0::EU, a new process:"
  "$bench" --time 3 "$sbf" count --data "$folder" --value 7401:0::EU
  echo "sbf search --counts (the first screen, all categories), a new process:"
  "$bench" --time 3 "$sbf" search --data "$folder" --counts
  # What a new process pays when nobody wrote the index file (or it is stale): it is set
  # aside for these two and put back, unchanged.
  mv "$folder/specs.sbfidx" "$folder/specs.sbfidx.aside"
  echo "sbf count, a new process, no index file:"
  "$bench" --time 3 "$sbf" count --data "$folder" || true
  echo "sbf search --counts, a new process, no index file:"
  "$bench" --time 3 "$sbf" search --data "$folder" --counts || true
  mv "$folder/specs.sbfidx.aside" "$folder/specs.sbfidx"
  lines=$(mktemp)
  "$bench" --header
  # A setting that fails (a query past the command timeout) says so in its line; the others go on.
  for counts in "" --counts; do
    "$bench" --one $counts --clicks "$clicks" --seconds "$seconds" "$folder" 2>&1 | tee -a "$lines"
  done
  for counts in "" --counts; do
    "$bench" --one $counts --setting "Cache MB=4096" --clicks "$clicks" --seconds "$seconds" "$folder" 2>&1 | tee -a "$lines"
  done
  # Half of what the screen's items need: the kept bytes after the first screen, generous budget.
  for counts in off on; do
    need=$(awk -v c="$counts" '$1 == "Cache" && $2 == "MB=4096" && $3 == c { print $10 }' "$lines")
    [ -n "$need" ] || { echo "(half of the need, counts $counts: no figure of the generous budget)"; continue; }
    half=$(awk -v n="$need" 'BEGIN { h = int(n / 2); print h < 1 ? 1 : h }')
    flag=""
    [ "$counts" = on ] && flag=--counts
    "$bench" --one $flag --setting "Cache MB=$half" --clicks "$clicks" --seconds "$seconds" "$folder" 2>&1 || true
  done
  rm -f "$lines"
  echo "($(( $(date +%s) - start )) s; load $(cut -d' ' -f1-3 /proc/loadavg))"
}

for shape in $shapes; do
  case "$shape" in
    wide) measure "$(data 100000 200 150)" ;;
    million) measure "$(data 1000000 20)" ;;
    legacy)
      folders=""
      for vehicles in 10000 100000; do
        for items in 0 200; do folders="$folders $(data "$vehicles" "$items")"; done
      done
      "$bench" --clicks 40 --plain-clicks "$plain" $folders ;;
  esac
done
