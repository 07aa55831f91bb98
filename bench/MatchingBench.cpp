// GetNumberOfMatchingVehicles on the synthetic databases with 0, 2 and 5 selections, and
// beside each the same SQL text run straight on SQLite (rewritten once, connection open,
// no library), so that the library's own share is a ratio measured in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "mirel_SbF/mirel_SbF.h"
#include "platform/TsqlRewrite.h"

namespace {

// The synthetic databases of `vehicles` vehicles, built once per run.
const std::string& DataFolder(int vehicles) {
  static std::map<int, std::string> folders;
  auto found = folders.find(vehicles);
  if (found != folders.end()) return found->second;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("sbf-bench-" + std::to_string(vehicles));
  if (!std::filesystem::exists(folder / "specs.db")) {
    const std::string command = std::string("\"") + MIREL_SAMPLEDB_EXE + "\" synthetic --vehicles " +
                                std::to_string(vehicles) + " --seed 1 --out \"" + folder.string() +
                                "\" >/dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("sampledb failed: " + command);
  }
  return folders.emplace(vehicles, folder.string()).first->second;
}

// The selections of the benchmark, in order; the first `count` are used.
void AddSelections(mirel_SbF::Search& search, int count) {
  if (count > 0) search.AddSelection("7401", "0", "", "US");
  if (count > 1) search.AddMin("135", "0", "", "70");
  if (count > 2) search.AddMax("1104", "0", "", "4000");
  if (count > 3) search.AddSelection("7404", "0", "", "M");
  if (count > 4) search.AddMin("1106", "0", "", "15");
}

void SetUp(mirel_SbF::Search& search, int vehicles, int selections) {
  search.SetDatabaseInfo("Provider=SQLite;Data Source=" + DataFolder(vehicles), "specs", "prj",
                         1, "USD");
  AddSelections(search, selections);
}

void BM_LibraryCount(benchmark::State& state) {
  mirel_SbF::Search search;
  SetUp(search, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  int32_t count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = search.GetNumberOfMatchingVehicles());
  state.counters["vehicles"] = count;
}

// The text the library sends for the same search, captured through a provider of our own.
std::string CapturedSql(int vehicles, int selections) {
  static std::string captured;
  mirel_base::RegisterProvider("BenchCapture", [](const std::string& sql, const std::string&,
                                                  const std::string&) {
    captured = sql;
    return std::make_shared<mirel_SbF::MemoryRecordset>(
        std::vector<std::string>{"code", "symbol", "symbolafter", "decimals", "conversion"},
        std::vector<std::vector<mirel_SbF::Variant>>{{"USD", "$", int32_t{0}, int32_t{2}, 1.0}});
  });
  mirel_SbF::Search search;
  search.SetDatabaseInfo("Provider=BenchCapture", "specs", "prj", 1, "USD");
  AddSelections(search, selections);
  search.GetNumberOfMatchingVehicles();
  (void)vehicles;
  return captured;
}

void BM_EngineCount(benchmark::State& state) {
  const int vehicles = static_cast<int>(state.range(0));
  const std::string sql = mirel_platform::RewriteTsql(
      CapturedSql(vehicles, static_cast<int>(state.range(1))), mirel_platform::Dialect::SQLite);
  sqlite3* raw = nullptr;
  const std::string path = DataFolder(vehicles) + "/specs.db";
  if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + path);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
  int32_t count = 0;
  for (auto _ : state) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr);
    count = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int(st, 0));
      ++count;
    }
    sqlite3_finalize(st);
  }
  state.counters["vehicles"] = count;
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int vehicles : {10000, 100000})
    for (int selections : {0, 2, 5}) b->Args({vehicles, selections});
  b->ArgNames({"db", "selections"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_LibraryCount)->Apply(Sizes);
BENCHMARK(BM_EngineCount)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
