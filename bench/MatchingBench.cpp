// DoSearch for one category and for all, and GetNumberOfMatchingVehicles with 0, 2 and 5
// selections, on the synthetic databases; beside each the same SQL texts run straight on
// SQLite (rewritten once, connections open, no library), so that the library's own share
// is a ratio measured in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "mirel_SbF/mirel_SbF.h"
#include "sql/TsqlRewrite.h"

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
  if (count > 3) search.AddSelection("7404", "0", "", "2");
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

struct Query {
  std::string sql;
  std::string db;
};

// The texts the library sends for `ask` (after SetDatabaseInfo), captured through a
// provider of our own that answers with empty record sets.
std::vector<Query> Captured(int selections, const std::function<void(mirel_SbF::Search&)>& ask) {
  static std::vector<Query> captured;
  mirel_base::RegisterProvider("BenchCapture", [](const std::string& sql, const std::string& db,
                                                  const std::string&) {
    captured.push_back({sql, db});
    if (sql.rfind("Select Code", 0) == 0)
      return std::make_shared<mirel_SbF::MemoryRecordset>(
          std::vector<std::string>{"code", "symbol", "symbolafter", "decimals", "conversion"},
          std::vector<std::vector<mirel_SbF::Variant>>{{"USD", "$", int32_t{0}, int32_t{2}, 1.0}});
    return std::make_shared<mirel_SbF::MemoryRecordset>(std::vector<std::string>{"x"},
                                                        std::vector<std::vector<mirel_SbF::Variant>>{});
  });
  mirel_SbF::Search search;
  search.SetDatabaseInfo("Provider=BenchCapture", "specs", "prj", 1, "USD");
  AddSelections(search, selections);
  captured.clear();
  ask(search);
  return captured;
}

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

// The specifications database with the project database attached, as the engine layer
// holds them.
Db Open(int vehicles) {
  sqlite3* raw = nullptr;
  const std::string folder = DataFolder(vehicles);
  if (sqlite3_open_v2((folder + "/specs.db").c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + folder);
  Db db(raw, sqlite3_close);
  const std::string attach = "attach database 'file:" + folder + "/prj.db?mode=ro' as prj";
  sqlite3_exec(db.get(), attach.c_str(), nullptr, nullptr, nullptr);
  return db;
}

int64_t RunAll(sqlite3* db, const std::vector<std::string>& texts) {
  int64_t rows = 0;
  for (const std::string& sql : texts) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("bad text: ") + sqlite3_errmsg(db));
    while (sqlite3_step(st) == SQLITE_ROW) ++rows;
    sqlite3_finalize(st);
  }
  return rows;
}

std::vector<std::string> Rewritten(const std::vector<Query>& queries) {
  std::vector<std::string> out;
  for (const auto& q : queries) out.push_back(mirel_platform::RewriteTsql(q.sql, mirel_platform::Dialect::SQLite));
  return out;
}

void BM_LibraryDoSearch(benchmark::State& state) {
  const std::string category = state.range(2) ? "Engine" : "";
  int32_t rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    mirel_SbF::Search search;
    SetUp(search, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    state.ResumeTiming();
    search.DoSearch(false, category, true);
    rows = search.Count();
  }
  state.counters["rows"] = rows;
}

void BM_EngineDoSearch(benchmark::State& state) {
  const std::string category = state.range(2) ? "Engine" : "";
  const auto texts = Rewritten(Captured(static_cast<int>(state.range(1)),
                                        [&](mirel_SbF::Search& s) { s.DoSearch(false, category, true); }));
  Db db = Open(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(RunAll(db.get(), texts));
}

void BM_EngineCount(benchmark::State& state) {
  const int vehicles = static_cast<int>(state.range(0));
  const std::string sql = Rewritten(Captured(static_cast<int>(state.range(1)), [](mirel_SbF::Search& s) {
                                      s.GetNumberOfMatchingVehicles();
                                    }))[0];
  Db db = Open(vehicles);
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

// DoSearch: all categories (0) or one (1), with 0 and 2 selections.
void Screens(benchmark::internal::Benchmark* b) {
  for (int vehicles : {10000, 100000})
    for (int selections : {0, 2})
      for (int one : {1, 0}) b->Args({vehicles, selections, one});
  b->ArgNames({"db", "selections", "oneCategory"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_LibraryCount)->Apply(Sizes);
BENCHMARK(BM_EngineCount)->Apply(Sizes);
BENCHMARK(BM_LibraryDoSearch)->Apply(Screens);
BENCHMARK(BM_EngineDoSearch)->Apply(Screens);

}  // namespace

BENCHMARK_MAIN();
