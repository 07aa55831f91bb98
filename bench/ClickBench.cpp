// What a stateless host's click costs: a new Search, the state restored, one more choice
// never made before, DoSearch of the whole screen, the count and the first 50 vehicles by
// name. Beside it, in the same run, the same clicks with the texts run as written on the
// same engine, and a floor: the same vehicle sets and value lists from in-memory bit sets
// prepared before the clock starts (no SQL, no formatting, no titles).
//
//   sbf_click_bench [--clicks N] [--plain-clicks N] [--server CONNECTION] DIR...
//   sbf_click_bench --one [--counts] [--setting TEXT] [--clicks N] [--seconds S] DIR
//   sbf_click_bench --time N COMMAND ARGS...
//
// Each DIR holds specs.db and prj.db (sampledb synthetic). Prints one table per DIR. With
// --server the clicks run on that connection string instead (a server loaded with the same
// databases, e.g. by bench/load.sh's steps), beside the floor of DIR.
//
// --one measures one setting in a process of its own, so that its resident memory is its own:
// the first screen in this new process (cold: nothing kept, the files in the operating
// system's cache), the first screen again (warm), then the clicks (p50, p95), with the counts
// on or off and TEXT added to the connection string (e.g. "Cache MB=4096"); it prints one
// line of figures with what the engine kept and the peak resident memory. The warm screens
// and the clicks stop once S seconds have gone (after one warm screen and three clicks), so
// that a slow setting stays bounded.
//
// --time runs a host's command (COMMAND is a path) N times (fewer once a minute has gone), each
// in a new process: the first answer of a new process, with its peak resident memory.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mirel_SbF/mirel_SbF.h"
#include "engines/sqlite/SqliteProvider.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

long MaxRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// One choice of a click: a value of a coded item or a range of a numeric one.
struct Choice {
  bool range;
  std::string schema, value, min, max;
};

// The criteria a wide screen adds (sampledb synthetic --criteria): each item with the values a
// click picks from (coded and numeric lists) or the bounds of its values (ranges).
struct ExtraItem {
  std::string schema;
  bool range = false;
  std::vector<std::string> values;
  double lo = 0, hi = 0;
};

std::vector<ExtraItem> ExtraItems(const std::string& dir) {
  std::vector<ExtraItem> out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2((dir + "/specs.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return out;
  }
  sqlite3_exec(db, ("attach database '" + dir + "/prj.db' as prj").c_str(), nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  // Criteria of items beyond the sample's own, in row order.
  if (sqlite3_prepare_v2(db,
                         "select criterion_schema_id, multi_select_style from prj.search_by_features where "
                         "criterion_schema_id >= 20001 order by row_id",
                         -1, &st, nullptr) == SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW)
      out.push_back({std::to_string(sqlite3_column_int(st, 0)), sqlite3_column_int(st, 1) == 2, {}, 0, 0});
  }
  sqlite3_finalize(st);
  for (ExtraItem& item : out) {
    const std::string sql = item.range ? "select min(cast(data_value as real)), max(cast(data_value as real)) from "
                                         "equipment where schema_id = " + item.schema
                                       : "select distinct data_value from equipment where schema_id = " + item.schema +
                                             " order by 1";
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      if (item.range) {
        item.lo = sqlite3_column_double(st, 0);
        item.hi = sqlite3_column_double(st, 1);
      } else {
        item.values.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  std::erase_if(out, [](const ExtraItem& i) { return i.range ? i.lo >= i.hi : i.values.empty(); });
  return out;
}

std::string Whole(double x) { return std::to_string(static_cast<long long>(x)); }

// Random choices that hardly ever repeat: ranges with random bounds, values of the coded
// items of the synthetic data; on a wide screen every other choice is one of its extra
// criteria (a value of a list, or a range over the lower and the upper part of an item's
// values). Without extra criteria the sequence is the same as it always was.
Choice RandomChoice(std::mt19937& rng, const std::vector<ExtraItem>& extras = {}) {
  if (!extras.empty() && rng() % 2 == 0) {
    const ExtraItem& item = extras[rng() % extras.size()];
    if (!item.range) return {false, item.schema, item.values[rng() % item.values.size()], "", ""};
    const double span = item.hi - item.lo;
    const double lo = item.lo + span * static_cast<double>(rng() % 40) / 100;
    const double hi = item.lo + span * static_cast<double>(55 + rng() % 46) / 100;
    return {true, item.schema, "", Whole(std::floor(lo)), Whole(std::ceil(hi))};
  }
  switch (rng() % 5) {
    case 0: return {false, "7401", std::vector<std::string>{"US", "EU", "JP"}[rng() % 3], "", ""};
    case 1: return {false, "7404", std::vector<std::string>{"1", "2", "3"}[rng() % 3], "", ""};
    case 2: return {true, "135", "", std::to_string(50 + rng() % 60), std::to_string(120 + rng() % 110)};
    case 3: return {true, "1104", "", std::to_string(1600 + rng() % 800), std::to_string(3000 + rng() % 2000)};
    default: return {true, "902", "", std::to_string(3000 + rng() % 3000), std::to_string(8000 + rng() % 8000)};
  }
}

void Add(mirel_SbF::Search& s, const Choice& c) {
  if (c.range) s.AddMinMax(c.schema, "0", "", c.min, c.max);
  else s.AddSelection(c.schema, "0", "", c.value);
}

struct ClickResult {
  int32_t count = 0;
  int32_t rows = 0;
};

// What the screen shows beyond the original's: nothing, counts per value, or counts with the
// origin (7401) either-or.
enum class Extras { None, Counts, EitherOr };

// One stateless click (no choice: the first screen).
ClickResult Click(const std::string& conn, const std::string& state, const Choice* choice,
                  Extras extras = Extras::None) {
  mirel_SbF::Search s;
  s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD,EUR");
  s.CurrentState(state);
  s.CountVehicles(extras != Extras::None);
  if (extras == Extras::EitherOr) s.EitherOr("7401", "0", true);
  if (choice) Add(s, *choice);
  s.DoSearch(false, "", true);
  ClickResult r;
  r.rows = s.Count();
  r.count = s.GetNumberOfMatchingVehicles();
  auto rs = s.GetMatchingVehicles(false, true, "name");
  for (int i = 0; i < 50 && !rs->EndOfFile(); ++i) rs->MoveNext();
  return r;
}

std::string StateWith(const std::string& conn, const std::string& state, const Choice& choice) {
  mirel_SbF::Search s;
  s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD,EUR");
  s.CurrentState(state);
  Add(s, choice);
  return s.CurrentState();
}

// ---- the floor: the same sets from bit maps held in memory ----

struct Bits {
  std::vector<uint64_t> w;
  explicit Bits(size_t n = 0) : w((n + 63) / 64, 0) {}
  void Set(size_t i) { w[i / 64] |= uint64_t{1} << (i % 64); }
  void And(const Bits& o) {
    for (size_t i = 0; i < w.size(); ++i) w[i] &= o.w[i];
  }
  void Or(const Bits& o) {
    for (size_t i = 0; i < w.size(); ++i) w[i] |= o.w[i];
  }
  bool Intersects(const Bits& o) const {
    for (size_t i = 0; i < w.size(); ++i)
      if (w[i] & o.w[i]) return true;
    return false;
  }
  size_t Count() const {
    size_t n = 0;
    for (uint64_t x : w) n += static_cast<size_t>(__builtin_popcountll(x));
    return n;
  }
};

// Per item: each value's vehicles (vehicle ids are 1..N in the synthetic data).
struct Floor {
  size_t vehicles = 0;
  std::map<int, std::map<std::string, Bits>> items;
  Bits filters;

  explicit Floor(const std::string& dir) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((dir + "/specs.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select max(vehicle_id) from version", -1, &st, nullptr);
    sqlite3_step(st);
    vehicles = static_cast<size_t>(sqlite3_column_int64(st, 0)) + 1;
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db,
                       "select schema_id, data_value, vehicle_id from equipment where schema_id in "
                       "(106, 302, 111, 117, 7401, 7402, 7403, 7404, 1101, 1102, 1103, 135, 1104, 1105, 1106, 902)",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      auto& bits = items[sqlite3_column_int(st, 0)][reinterpret_cast<const char*>(sqlite3_column_text(st, 1))];
      if (bits.w.empty()) bits = Bits(vehicles);
      bits.Set(static_cast<size_t>(sqlite3_column_int64(st, 2)));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    // The host's default filters: no advanced, no old, no built vehicles.
    filters = Bits(vehicles);
    for (auto& [v, b] : items[106])
      if (v != "A") filters.Or(b);
    Bits age(vehicles);
    for (auto& [v, b] : items[302])
      if (v.rfind("(O)", 0) != 0 && v.rfind("(+)", 0) != 0) age.Or(b);
    filters.And(age);
  }

  Bits Of(const Choice& c) const {
    Bits out(vehicles);
    for (const auto& [v, b] : items.at(std::stoi(c.schema))) {
      if (!c.range ? v == c.value : (std::stod(v) >= std::stod(c.min) && std::stod(v) <= std::stod(c.max))) out.Or(b);
    }
    return out;
  }

  // The set, its size, and for every value of every criterion item whether it remains.
  size_t Click(const std::vector<Choice>& choices) const {
    Bits set = filters;
    for (const Choice& c : choices) set.And(Of(c));
    size_t present = 0;
    for (const auto& [item, values] : items)
      for (const auto& [v, b] : values) present += b.Intersects(set) ? 1 : 0;
    return set.Count() + present;
  }
};

void Run(const std::string& dir, int clicks, int plainClicks, const std::string& server) {
  const std::string fast = server.empty() ? "Provider=SQLite;Data Source=" + dir : server;
  const std::string plain = fast + ";Evaluation=Plain;Cache MB=0;Command Timeout=0";
  std::printf("\n%s\n", dir.c_str());
  std::printf("%-46s %10s %10s %10s %9s\n", "figure", "fast ms", "plain ms", "floor ms", "plain/fast");

  // First screen, cold: nothing kept by the engine (the files are in the OS cache).
  mirel_platform::SqliteDropCachesForTesting();
  auto t0 = Clock::now();
  const ClickResult first = Click(fast, "", nullptr);
  const double cold = Ms(Clock::now() - t0);
  std::vector<double> warm;
  for (int i = 0; i < 10; ++i) {
    t0 = Clock::now();
    Click(fast, "", nullptr);
    warm.push_back(Ms(Clock::now() - t0));
  }
  double plainFirst = 0;
  if (plainClicks > 0) {
    t0 = Clock::now();
    const ClickResult p = Click(plain, "", nullptr);
    plainFirst = Ms(Clock::now() - t0);
    if (p.count != first.count || p.rows != first.rows) std::printf("  MISMATCH first screen\n");
  }
  std::printf("%-46s %10.1f %10.1f %10s %9.1f\n", "first screen, all categories, cold", cold, plainFirst, "",
              plainFirst / cold);
  std::printf("%-46s %10.1f %10s %10s\n", "first screen, all categories, warm (p50)", Percentile(warm, 0.5), "", "");

  // Clicks with choices never made before: up to three earlier choices kept in the state.
  std::mt19937 rng(7);
  Floor floor(dir);
  std::vector<double> fastTimes, plainTimes, floorTimes, countTimes, eitherOrTimes;
  std::string state;
  std::vector<Choice> made;
  for (int i = 0; i < clicks; ++i) {
    if (i % 4 == 0) {
      state.clear();
      made.clear();
    }
    const Choice choice = RandomChoice(rng);
    t0 = Clock::now();
    const ClickResult f = Click(fast, state, &choice);
    fastTimes.push_back(Ms(Clock::now() - t0));
    // A click with counts, and with counts and an either-or criterion, each with a choice of
    // its own that was not seen before either (the same choice again would find its work
    // kept by the click before).
    const Choice forCounts = RandomChoice(rng), forEitherOr = RandomChoice(rng);
    t0 = Clock::now();
    Click(fast, state, &forCounts, Extras::Counts);
    countTimes.push_back(Ms(Clock::now() - t0));
    t0 = Clock::now();
    Click(fast, state, &forEitherOr, Extras::EitherOr);
    eitherOrTimes.push_back(Ms(Clock::now() - t0));
    if (i < plainClicks) {
      t0 = Clock::now();
      const ClickResult p = Click(plain, state, &choice);
      plainTimes.push_back(Ms(Clock::now() - t0));
      if (p.count != f.count || p.rows != f.rows) std::printf("  MISMATCH click %d\n", i);
    }
    made.push_back(choice);
    t0 = Clock::now();
    volatile size_t sink = floor.Click(made);
    (void)sink;
    floorTimes.push_back(Ms(Clock::now() - t0));
    state = StateWith(fast, state, choice);
  }
  const double p50 = Percentile(fastTimes, 0.5);
  std::printf("%-46s %10.1f %10.1f %10.2f %9.1f\n", "click, choices not seen before (p50)", p50,
              Percentile(plainTimes, 0.5), Percentile(floorTimes, 0.5), Percentile(plainTimes, 0.5) / p50);
  std::printf("%-46s %10.1f %10.1f %10.2f\n", "click, choices not seen before (p95)", Percentile(fastTimes, 0.95),
              Percentile(plainTimes, 0.95), Percentile(floorTimes, 0.95));
  std::printf("%-46s %10.1f %10s %10s %9s  (%.2fx the click without)\n", "click with counts (p50)",
              Percentile(countTimes, 0.5), "", "", "", Percentile(countTimes, 0.5) / p50);
  std::printf("%-46s %10.1f %10s %10s %9s  (%.2fx the click without)\n", "click with counts, origin either-or (p50)",
              Percentile(eitherOrTimes, 0.5), "", "", "", Percentile(eitherOrTimes, 0.5) / p50);

  // The count with five choices, new ones each time and the same again.
  std::vector<double> newCounts, sameCounts, plainCounts;
  for (int i = 0; i < 20; ++i) {
    std::vector<Choice> five;
    for (int k = 0; k < 5; ++k) five.push_back(RandomChoice(rng));
    auto count = [&](const std::string& conn) {
      mirel_SbF::Search s;
      s.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
      for (const Choice& c : five) Add(s, c);
      return s.GetNumberOfMatchingVehicles();
    };
    t0 = Clock::now();
    const int32_t n = count(fast);
    newCounts.push_back(Ms(Clock::now() - t0));
    t0 = Clock::now();
    count(fast);
    sameCounts.push_back(Ms(Clock::now() - t0));
    if (i < plainClicks) {
      t0 = Clock::now();
      if (count(plain) != n) std::printf("  MISMATCH count\n");
      plainCounts.push_back(Ms(Clock::now() - t0));
    }
  }
  std::printf("%-46s %10.1f %10.1f %10s %9.1f\n", "count, five new choices (p50)", Percentile(newCounts, 0.5),
              Percentile(plainCounts, 0.5), "", Percentile(plainCounts, 0.5) / Percentile(newCounts, 0.5));
  std::printf("%-46s %10.1f\n", "count, the same five choices again (p50)", Percentile(sameCounts, 0.5));
  std::printf("%-46s %10.1f\n", "kept by the engine (MB, limit 256)",
              static_cast<double>(mirel_platform::SqliteCacheBytesForTesting()) / (1 << 20));
  std::printf("%-46s %10ld\n", "peak memory of the process, with the floor (MB)", MaxRssMb());
}

// A host's command in a new process each time (its output thrown away), `times` times, or
// fewer once a minute has gone: the wall time and the peak resident memory of each run, then
// the median time.
int TimeCommand(int times, char** command) {
  std::vector<double> ms;
  for (int i = 0; i < times && std::accumulate(ms.begin(), ms.end(), 0.0) < 60000; ++i) {
    std::fflush(stdout);  // or the child would write our buffered lines again
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      if (!std::freopen("/dev/null", "w", stdout)) _exit(127);
      execv(command[0], command);
      _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 1;
    ms.push_back(Ms(Clock::now() - t0));
    std::printf("  %9.1f ms %7ld MB%s\n", ms.back(), usage.ru_maxrss / 1024,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  (failed)");
  }
  std::printf("  %9.1f ms median of %zu\n", Percentile(ms, 0.5), ms.size());
  return 0;
}

long CurrentRssMb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024) / 1024;
}

double Mb(int64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

// One setting in this process (see --one above): one line of figures.
void RunOne(const std::string& dir, const std::string& setting, bool counts, int clicks, double seconds) {
  const std::string conn = "Provider=SQLite;Data Source=" + dir + (setting.empty() ? "" : ";" + setting);
  const Extras extras = counts ? Extras::Counts : Extras::None;
  const std::vector<ExtraItem> wide = ExtraItems(dir);

  auto t0 = Clock::now();
  const ClickResult first = Click(conn, "", nullptr, extras);
  const double cold = Ms(Clock::now() - t0);
  // The first screen again, as every new visitor sees it; a slow one is not repeated ten times.
  const auto start = Clock::now();
  const auto left = [&] { return Ms(Clock::now() - start) < seconds * 1000; };
  std::vector<double> warm;
  for (int i = 0; i < 10 && (i < 1 || left()); ++i) {
    t0 = Clock::now();
    Click(conn, "", nullptr, extras);
    warm.push_back(Ms(Clock::now() - t0));
  }
  const int64_t keptFirst = mirel_platform::SqliteCacheBytesForTesting();

  // Stateless clicks with choices never made before, up to three earlier choices in the state.
  std::mt19937 rng(7);
  std::vector<double> times;
  std::string state;
  int matched = 0;
  for (int i = 0; i < clicks && (i < 3 || left()); ++i) {
    if (i % 4 == 0) state.clear();
    const Choice choice = RandomChoice(rng, wide);
    t0 = Clock::now();
    const ClickResult r = Click(conn, state, &choice, extras);
    times.push_back(Ms(Clock::now() - t0));
    matched += r.count;
    state = StateWith(conn, state, choice);
  }
  std::printf("%-16s %-6s %9.1f %9.1f %9.1f %9.1f %6zu %6d %9.1f %9.1f %7ld %7ld %9d\n",
              setting.empty() ? "defaults" : setting.c_str(), counts ? "on" : "off", cold, Percentile(warm, 0.5),
              Percentile(times, 0.5), Percentile(times, 0.95), times.size(), first.rows, Mb(keptFirst),
              Mb(mirel_platform::SqliteCacheBytesForTesting()), MaxRssMb(), CurrentRssMb(),
              times.empty() ? 0 : matched / static_cast<int>(times.size()));
}

}  // namespace

int main(int argc, char** argv) {
  int clicks = 40, plainClicks = 3;
  double seconds = 60;
  bool one = false, counts = false, header = false;
  std::string server, setting;
  std::vector<std::string> dirs;
  if (argc > 3 && std::string(argv[1]) == "--time") return TimeCommand(std::stoi(argv[2]), argv + 3);
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--clicks" && i + 1 < argc) clicks = std::stoi(argv[++i]);
    else if (a == "--plain-clicks" && i + 1 < argc) plainClicks = std::stoi(argv[++i]);
    else if (a == "--server" && i + 1 < argc) server = argv[++i];
    else if (a == "--seconds" && i + 1 < argc) seconds = std::stod(argv[++i]);
    else if (a == "--setting" && i + 1 < argc) setting = argv[++i];
    else if (a == "--one") one = true;
    else if (a == "--counts") counts = true;
    else if (a == "--header") header = true;
    else dirs.push_back(a);
  }
  if (header) {
    // The columns of --one's line.
    std::printf("%-16s %-6s %9s %9s %9s %9s %6s %6s %9s %9s %7s %7s %9s\n", "setting", "counts", "cold ms",
                "warm ms", "click p50", "click p95", "clicks", "rows", "kept MB1", "kept MB2", "peak MB", "RSS MB",
                "matching");
    if (dirs.empty()) return 0;
  }
  if (dirs.empty() || (one && dirs.size() != 1)) {
    std::fprintf(stderr,
                 "usage: sbf_click_bench [--clicks N] [--plain-clicks N] [--server CONNECTION] DIR...\n"
                 "       sbf_click_bench --one [--counts] [--setting TEXT] [--clicks N] [--seconds S] DIR\n"
                 "       sbf_click_bench --header\n"
                 "       sbf_click_bench --time N COMMAND ARGS...\n");
    return 64;
  }
  try {
    if (one) RunOne(dirs[0], setting, counts, clicks, seconds);
    else
      for (const std::string& dir : dirs) Run(dir, clicks, server.empty() ? plainClicks : 0, server);
  } catch (const mirel_SbF::Error& e) {
    if (one) std::printf("%-16s %-6s failed after %ld MB peak: ", setting.empty() ? "defaults" : setting.c_str(),
                         counts ? "on" : "off", MaxRssMb());
    std::fflush(stdout);
    std::fprintf(stderr, "error %s: %s\n", e.Source().c_str(), e.Description().c_str());
    return 1;
  }
  return 0;
}
