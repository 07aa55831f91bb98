// The matching-vehicle queries: their texts, and their answers on the sample databases
// against an independent evaluation of the same filters and selections.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <functional>
#include <map>
#include <set>

#include "mirel_SbF/mirel_SbF.h"
#include "support/HostileMatrix.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_test::RecordingProvider;

std::string RecordedSql(const std::function<void(Search&)>& ask) {
  RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
  ask(search);
  EXPECT_EQ(recorder.SearchQueries().size(), 1u);
  if (recorder.SearchQueries().empty()) return {};
  EXPECT_EQ(recorder.SearchQueries()[0].dbName, "specs");
  return recorder.SearchQueries()[0].sql;
}

TEST(GetMatchingVehicles, QueryTexts) {
  EXPECT_EQ(RecordedSql([](Search& s) {
              s.ExcludeAdvancedVehicles(false);
              s.ExcludeOldVehicles(false);
              s.ExcludeBuiltVehicles(false);
              s.GetMatchingVehicles(false, false);
            }),
            "select distinct eq.vehicle_id from equipment eq ;");
  EXPECT_EQ(RecordedSql([](Search& s) {
              s.ExcludeAdvancedVehicles(false);
              s.ExcludeOldVehicles(false);
              s.ExcludeBuiltVehicles(false);
              s.GetMatchingVehicles(true, false, "col1, col2");
            }),
            "select distinct eq.vehicle_id , v.col1, v.col2 from equipment eq inner join version v "
            "on (v.vehicle_id = eq.vehicle_id) WHERE eq.option_id = 0 order by v.col1, v.col2;");
}

TEST(GetMatchingVehicles, ErrorsKeepTheirSources) {
  RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
  struct Case {
    std::function<void()> call;
    int32_t number;
    const char* source;
  } cases[] = {
      {[&] { search.GetMatchingVehicles(false, true, "name; drop table version"); }, kErrObject,
       "mirel_SbF.AddTablePrefixToCommaDelimitedList"},
      {[&] {
         search.AddSelection("7403", "0", "Y", "");
         search.GetNumberOfMatchingVehicles();
       },
       static_cast<int32_t>(0x80040202), "mirel_SbF.BuildInnerJoinFromSbFUserSelection"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error for " << c.source;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number);
      EXPECT_EQ(e.Source(), c.source);
    }
  }
  EXPECT_TRUE(recorder.SearchQueries().empty()) << "a refused text reached the engine";
}

TEST(GetMatchingVehicles, ConnectorErrorsReachTheHostUnchanged) {
  RecordingProvider recorder;
  recorder.FailQuery(2, Error(kErrBadSql, "mirel_base.Connector", "boom"));
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
  try {
    search.GetNumberOfMatchingVehicles();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrBadSql);
    EXPECT_EQ(e.Source(), "mirel_base.Connector");
    EXPECT_EQ(e.Description(), "boom");
  }
}

// ---- the sample databases, evaluated independently ----------------------------------

struct Row {
  int schema;
  int location;
  std::string value;
  int option;
};

// Every equipment row of the sample, by vehicle, read straight from the file.
const std::map<int, std::vector<Row>>& Equipment() {
  static std::map<int, std::vector<Row>> vehicles = [] {
    std::map<int, std::vector<Row>> out;
    sqlite3* db = nullptr;
    std::string path = mirel_test::SampleFolder() + "/specs.db";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "cannot open " << path;
      sqlite3_close(db);
      return out;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select vehicle_id, schema_id, location, data_value, option_id from equipment",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      out[sqlite3_column_int(st, 0)].push_back(
          {sqlite3_column_int(st, 1), sqlite3_column_int(st, 2),
           reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), sqlite3_column_int(st, 4)});
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }();
  return vehicles;
}

using RowTest = std::function<bool(const Row&)>;

bool Has(const std::vector<Row>& rows, int schema, const RowTest& test) {
  for (const auto& r : rows)
    if (r.schema == schema && test(r)) return true;
  return false;
}

RowTest Any() { return [](const Row&) { return true; }; }
RowTest Is(std::set<std::string> values) {
  return [values](const Row& r) { return values.count(r.value) > 0; };
}
RowTest Between(double min, double max) {
  return [=](const Row& r) {
    double v = std::strtod(r.value.c_str(), nullptr);
    return r.location == 0 && v >= min && v <= max;
  };
}

// The codes of an item in the sample, in ascending order, so that the cases do not
// depend on how the builder numbers makes and models.
std::vector<std::string> Codes(int schema) {
  std::set<std::string> codes;
  for (const auto& [id, rows] : Equipment())
    for (const auto& r : rows)
      if (r.schema == schema) codes.insert(r.value);
  return {codes.begin(), codes.end()};
}

struct CountCase {
  const char* name;
  std::function<void(Search&)> setUp;
  bool standardOnly;
  bool reduce;
  std::function<bool(const std::vector<Row>&)> matches;
};

bool DefaultFilters(const std::vector<Row>& rows) {
  return Has(rows, 106, [](const Row& r) { return r.value != "A"; }) &&
         Has(rows, 302, [](const Row& r) {
           std::string p = r.value.substr(0, 3);
           return p != "(O)" && p != "(+)";
         });
}

void NoFilters(Search& s) {
  s.ExcludeAdvancedVehicles(false);
  s.ExcludeOldVehicles(false);
  s.ExcludeBuiltVehicles(false);
}

TEST(GetNumberOfMatchingVehicles, EqualsAnIndependentCountOnTheSample) {
  ASSERT_FALSE(Equipment().empty());
  const std::vector<std::string> makes = Codes(111);
  const std::vector<std::string> models = Codes(112);
  const std::vector<std::string> groups = Codes(117);
  ASSERT_GE(makes.size(), 3u);
  ASSERT_GE(models.size(), 2u);
  ASSERT_GE(groups.size(), 2u);
  const std::string make1 = makes[0], make2 = makes[2];

  const CountCase cases[] = {
      {"default filters", [](Search&) {}, false, true, DefaultFilters},
      {"no filters", NoFilters, false, true, [](const auto&) { return true; }},
      {"only old excluded",
       [](Search& s) {
         NoFilters(s);
         s.ExcludeOldVehicles(true);
       },
       false, true,
       [](const auto& rows) {
         return Has(rows, 302, [](const Row& r) { return r.value.substr(0, 3) != "(O)"; });
       }},
      {"one make", [&](Search& s) { s.MakeInclusionList(make1); }, false, true,
       [&](const auto& rows) { return DefaultFilters(rows) && Has(rows, 111, Is({make1})); }},
      {"two makes", [&](Search& s) { s.MakeInclusionList(make1 + " , " + make2); }, false, true,
       [&](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 111, Is({make1, make2}));
       }},
      {"maker group and model exclusion",
       [&](Search& s) {
         s.OEMInclusionList(groups[0] + "," + groups[1]);
         s.ModelExclusionList(models[0] + ", " + models[1]);
       },
       false, true,
       [&](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 117, Is({groups[0], groups[1]})) &&
                Has(rows, 112, [&](const Row& r) {
                  return r.value != models[0] && r.value != models[1];
                });
       }},
      {"origin US", [](Search& s) { s.AddSelection("7401", "0", "", "US"); }, false, true,
       [](const auto& rows) { return DefaultFilters(rows) && Has(rows, 7401, Is({"US"})); }},
      {"origin US or JP in one selection",
       [](Search& s) { s.AddSelection("7401", "0", "", "US,JP"); }, false, true,
       [](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 7401, Is({"US", "JP"}));
       }},
      {"origin EU and horsepower 70..100",
       [](Search& s) {
         s.AddSelection("7401", "0", "", "EU");
         s.AddMinMax("135", "0", "", "70", "100");
       },
       false, true,
       [](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 7401, Is({"EU"})) &&
                Has(rows, 135, Between(70, 100));
       }},
      {"weight from 3000", [](Search& s) { s.AddMin("1104", "0", "", "3000"); }, false, true,
       [](const auto& rows) { return DefaultFilters(rows) && Has(rows, 1104, Between(3000, 1e300)); }},
      {"economy up to 20.5", [](Search& s) { s.AddMax("1106", "0", "", "20.5"); }, false, true,
       [](const auto& rows) { return DefaultFilters(rows) && Has(rows, 1106, Between(-1e300, 20.5)); }},
      {"air conditioning", [](Search& s) { s.AddSelection("7403", "0", "Y", "Y"); }, false, true,
       [](const auto& rows) { return DefaultFilters(rows) && Has(rows, 7403, Is({"Y"})); }},
      {"air conditioning, standard equipment only",
       [](Search& s) { s.AddSelection("7403", "0", "Y", "Y"); }, true, true,
       [](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 7403, Is({"Y"})) &&
                Has(rows, 7403, Any()) &&
                std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.option == 0; });
       }},
      {"two values of one item cannot both hold",
       [](Search& s) {
         s.AddSelection("7401", "0", "", "US");
         s.AddSelection("7401", "0", "", "JP");
       },
       false, true, [](const auto&) { return false; }},
      {"selections ignored without reduce",
       [](Search& s) { s.AddSelection("7401", "0", "", "US"); }, false, false, DefaultFilters},
      {"a value selection without value needs only the item",
       [](Search& s) { s.AddSelection("7403", "0", "", ""); }, false, true,
       [](const auto& rows) { return DefaultFilters(rows) && Has(rows, 7403, Any()); }},
      {"restored open range needs only the item",
       [](Search& s) { s.CurrentState("1~1105~0~~!!~!!~2~7404~0~~L~"); }, false, true,
       [](const auto& rows) {
         return DefaultFilters(rows) && Has(rows, 1105, Any()) && Has(rows, 7404, Is({"L"}));
       }},
  };

  for (const auto& c : cases) {
    Search search;
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
    c.setUp(search);
    int32_t expected = 0;
    for (const auto& [id, rows] : Equipment()) expected += c.matches(rows) ? 1 : 0;
    EXPECT_EQ(search.GetNumberOfMatchingVehicles(c.standardOnly, c.reduce), expected) << c.name;
  }
}

TEST(GetMatchingVehicles, SortedListOnTheSampleHasOneRowPerVehicle) {
  Search search;
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
  search.AddSelection("7401", "0", "", "JP");
  auto rs = search.GetMatchingVehicles(false, true, "name , model_year");
  ASSERT_EQ(rs->FieldCount(), 3);
  std::set<int32_t> seen;
  std::string previous;
  for (; !rs->EndOfFile(); rs->MoveNext()) {
    EXPECT_TRUE(seen.insert(CLng(rs->Fields("vehicle_id").Value())).second);
    std::string name = CStr(rs->Fields("name").Value());
    EXPECT_LE(previous, name);
    previous = name;
  }
  EXPECT_EQ(static_cast<int32_t>(seen.size()), search.GetNumberOfMatchingVehicles());
  EXPECT_GT(seen.size(), 0u);
}

// Numbers and names that are not numbers are refused by the library's own check, on the
// real engine too. (Hostile values in every argument: HostileValuesInEveryTextArgument.)
TEST(GetNumberOfMatchingVehicles, HostileTextNeverChangesTheStatement) {
  const std::function<void(Search&)> refused[] = {
      [](Search& s) { s.AddSelection("7401 OR 1=1", "0", "", "US"); },
      [](Search& s) { s.AddSelection("7401", "0) OR (1=1", "", "US"); },
      [](Search& s) { s.AddMin("135", "0", "", "0 OR 1=1"); },
      [](Search& s) { s.AddMax("135", "0", "", "1; delete from equipment"); },
      [](Search& s) { s.CurrentState("1~135~0~~1 union select 1~!!"); },
  };
  for (const auto& setUp : refused) {
    Search search;
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
    setUp(search);
    try {
      search.GetNumberOfMatchingVehicles();
      ADD_FAILURE() << "accepted " << search.CurrentState();
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrObject);
      EXPECT_EQ(e.Source(), "mirel_SbF.CreateVehicleSql");
    }
  }
  // The sample is intact afterwards.
  Search search;
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
  search.ExcludeAdvancedVehicles(false);
  search.ExcludeOldVehicles(false);
  search.ExcludeBuiltVehicles(false);
  EXPECT_EQ(search.GetNumberOfMatchingVehicles(), static_cast<int32_t>(Equipment().size()));
}

// Hostile values x every text argument on SQLite, against a copy of the sample that holds a
// canary table: every case is refused clearly or answers like a harmless value, and the
// canary and the data are still there afterwards. (On a server: odbc_tests.)
TEST(GetNumberOfMatchingVehicles, HostileValuesInEveryTextArgument) {
  if (const char* file = std::getenv("MIREL_TEST_CONNECTION_FILE"); file && *file)
    GTEST_SKIP() << "the server runs this matrix in odbc_tests, with a login that owns its canary";
  const std::string folder = mirel_test::MakeTempFolder("sbf-hostile");
  for (const char* db : {"specs.db", "prj.db"})
    std::filesystem::copy_file(mirel_test::SampleFolder() + "/" + db, folder + "/" + db);
  auto exec = [&](const char* sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open((folder + "/specs.db").c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, sqlite3_close);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
  };
  exec("create table canary (a int); insert into canary values (1);");

  for (const auto& finding : mirel_test::RunHostileMatrix("Provider=SQLite;Data Source=" + folder, "specs", "prj"))
    ADD_FAILURE() << finding.argument << " <- \"" << finding.value << "\": " << finding.what;

  exec("select a from canary;");
  Search search;
  search.SetDatabaseInfo("Provider=SQLite;Data Source=" + folder, "specs", "prj", 1, "USD");
  search.ExcludeAdvancedVehicles(false);
  search.ExcludeOldVehicles(false);
  search.ExcludeBuiltVehicles(false);
  EXPECT_EQ(search.GetNumberOfMatchingVehicles(), static_cast<int32_t>(Equipment().size()));
}

}  // namespace
}  // namespace mirel_SbF
