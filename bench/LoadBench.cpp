// Searches per second of a stateless host with 1, 2, 4 and 8 threads, on SQLite and on the
// PostgreSQL server through ODBC, over the same synthetic databases, with the engines'
// caches on and off (SQLite: "Evaluation=Plain;Cache MB=0"; the server: "Cache Seconds=60"
// on, nothing off). One search is what
// one request of a web page does: a new Search, the saved selections restored, the
// screen of one category and the count.
//
// Run by bench/load.sh, which builds the databases, starts and loads a throwaway server
// and names it in MIREL_BENCH_SERVER_FILE (connection string on the first line) and the
// SQLite folder in MIREL_BENCH_DATA.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "mirel_SbF/mirel_SbF.h"

namespace {

std::string Connection(bool server, bool caches) {
  if (!server) {
    const char* data = std::getenv("MIREL_BENCH_DATA");
    if (!data || !*data) throw std::runtime_error("MIREL_BENCH_DATA names no folder");
    return std::string("Provider=SQLite;Data Source=") + data + (caches ? "" : ";Evaluation=Plain;Cache MB=0");
  }
  const char* file = std::getenv("MIREL_BENCH_SERVER_FILE");
  std::ifstream in(file ? file : "");
  std::string conn;
  if (!std::getline(in, conn) || conn.empty()) throw std::runtime_error("MIREL_BENCH_SERVER_FILE names no server");
  return caches ? conn + ";Cache Seconds=60" : conn;
}

std::string SavedState(const std::string& conn) {
  mirel_SbF::Search search;
  search.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
  search.AddSelection("7401", "0", "", "US");
  search.AddMin("135", "0", "", "70");
  return search.CurrentState();
}

void BM_Search(benchmark::State& state) {
  const bool server = state.range(0) == 1;
  const bool caches = state.range(1) == 1;
  state.SetLabel(std::string(server ? "PostgreSQL/ODBC" : "SQLite") + (caches ? ", caches on" : ", caches off"));
  std::string conn, saved;
  try {
    conn = Connection(server, caches);
    saved = SavedState(conn);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  int32_t count = 0;
  for (auto _ : state) {
    mirel_SbF::Search search;
    search.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
    search.CurrentState(saved);
    search.DoSearch(false, "Engine");
    benchmark::DoNotOptimize(count = search.GetNumberOfMatchingVehicles());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["vehicles"] = benchmark::Counter(count, benchmark::Counter::kAvgThreads);
}
BENCHMARK(BM_Search)->ArgNames({"server", "caches"})->ArgsProduct({{0, 1}, {1, 0}})->Threads(1)->Threads(2)->Threads(4)->Threads(8)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
