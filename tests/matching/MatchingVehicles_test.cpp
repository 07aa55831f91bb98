// The matching-vehicle queries: their texts, and their answers on the sample databases
// against an independent evaluation of the same filters and selections.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <functional>
#include <map>
#include <set>

#include "common/modMisc.h"
#include "mirel_SbF/mirel_SbF.h"
#include "support/HostileMatrix.h"
#include "support/Raises.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;
using mirel_test::RecordingProvider;

void NoFilters(Search& s) {
  s.ExcludeAdvancedVehicles(false);
  s.ExcludeOldVehicles(false);
  s.ExcludeBuiltVehicles(false);
}

void OnSample(Search& search) {
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
}

TEST(GetMatchingVehicles, QueryTexts) {
  struct Case { bool standardOnly; const char* sortList; const char* expected; } cases[] = {
      {false, "", "select distinct eq.vehicle_id from equipment eq ;"},
      {true, "col1, col2",
       "select distinct eq.vehicle_id , v.col1, v.col2 from equipment eq inner join version v "
       "on (v.vehicle_id = eq.vehicle_id) WHERE eq.option_id = 0 order by v.col1, v.col2;"},
      {false, "[list price], [a]]b] ,name",
       "select distinct eq.vehicle_id , v.[list price], v.[a]]b], v.name from equipment eq inner join "
       "version v on (v.vehicle_id = eq.vehicle_id) order by v.[list price], v.[a]]b], v.name;"},
  };
  for (const auto& c : cases) {
    RecordingProvider recorder;
    Search search;
    search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
    NoFilters(search);
    search.GetMatchingVehicles(c.standardOnly, false, c.sortList);
    ASSERT_EQ(recorder.SearchQueries().size(), 1u);
    EXPECT_EQ(recorder.SearchQueries()[0].dbName, "specs");
    EXPECT_EQ(recorder.SearchQueries()[0].sql, c.expected);
  }
}

TEST(GetMatchingVehicles, ErrorsReachTheHost) {
  struct Case { std::function<void(Search&)> ask; int32_t number; const char *source, *description; } cases[] = {
      {[](Search& s) { s.AddSelection("7403", "0", "Y", ""), s.GetNumberOfMatchingVehicles(); }, kErrSchemaValue,
       "mirel_SbF.BuildInnerJoinFromSbFUserSelection", "Found Schema Value and Value Selected: 7403 Y "},
      {[](Search& s) { s.GetMatchingVehicles(false, true, "name; drop table version"); }, kErrObject,
       "mirel_SbF.AddTablePrefixToCommaDelimitedList", "Sort column is not a column name: \"name; drop table version\""},
      {[](Search& s) { s.GetNumberOfMatchingVehicles(); }, kErrBadSql, "mirel_base.Connector", "boom"},
  };
  for (const auto& c : cases) {
    RecordingProvider recorder;
    recorder.FailQuery(2, Error(kErrBadSql, "mirel_base.Connector", "boom"));  // after the currencies
    Search search;
    search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
    EXPECT_TRUE(Raises([&] { c.ask(search); }, c.number, c.source, c.description));
  }
}

// ---- the sample databases, evaluated independently ----------------------------------

struct Row {
  int schema;
  int location;
  std::string value;
  int option;
};

// Every equipment row of the sample, by vehicle.
const std::map<int, std::vector<Row>>& Equipment() {
  static const std::map<int, std::vector<Row>> vehicles = [] {
    std::map<int, std::vector<Row>> out;
    for (const auto& r : mirel_test::SampleRows(
             "select vehicle_id, schema_id, location, data_value, option_id from equipment"))
      out[std::stoi(r[0])].push_back({std::stoi(r[1]), std::stoi(r[2]), r[3], std::stoi(r[4])});
    return out;
  }();
  return vehicles;
}

using RowTest = std::function<bool(const Row&)>;

bool Has(const std::vector<Row>& rows, int schema, const RowTest& test) {
  return std::any_of(rows.begin(), rows.end(), [&](const Row& r) { return r.schema == schema && test(r); });
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

bool DefaultFilters(const std::vector<Row>& rows) {
  return Has(rows, 106, [](const Row& r) { return r.value != "A"; }) &&
         Has(rows, 302, [](const Row& r) {
           std::string p = r.value.substr(0, 3);
           return p != "(O)" && p != "(+)";
         });
}

int32_t IndependentCount(const std::function<bool(const std::vector<Row>&)>& matches) {
  int32_t n = 0;
  for (const auto& [id, rows] : Equipment()) n += matches(rows) ? 1 : 0;
  return n;
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

  using Rows = const std::vector<Row>&;
  struct Case {
    const char* name;
    std::function<void(Search&)> setUp;
    bool standardOnly, reduce;
    std::function<bool(Rows)> matches;
  } cases[] = {
      {"default filters", [](Search&) {}, false, true, DefaultFilters},
      {"no filters", NoFilters, false, true, [](Rows) { return true; }},
      {"two makes", [&](Search& s) { s.MakeInclusionList(make1 + " , " + make2); }, false, true,
       [&](Rows rows) { return DefaultFilters(rows) && Has(rows, 111, Is({make1, make2})); }},
      {"maker group and model exclusion",
       [&](Search& s) { s.OEMInclusionList(groups[0] + "," + groups[1]), s.ModelExclusionList(models[0] + ", " + models[1]); },
       false, true,
       [&](Rows rows) {
         return DefaultFilters(rows) && Has(rows, 117, Is({groups[0], groups[1]})) &&
                Has(rows, 112, [&](const Row& r) { return r.value != models[0] && r.value != models[1]; });
       }},
      {"origin US or JP in one selection", [](Search& s) { s.AddSelection("7401", "0", "", "US,JP"); }, false, true,
       [](Rows rows) { return DefaultFilters(rows) && Has(rows, 7401, Is({"US", "JP"})); }},
      {"origin EU and horsepower 70..100",
       [](Search& s) { s.AddSelection("7401", "0", "", "EU"), s.AddMinMax("135", "0", "", "70", "100"); }, false, true,
       [](Rows rows) { return DefaultFilters(rows) && Has(rows, 7401, Is({"EU"})) && Has(rows, 135, Between(70, 100)); }},
      {"weight from 3000", [](Search& s) { s.AddMin("1104", "0", "", "3000"); }, false, true,
       [](Rows rows) { return DefaultFilters(rows) && Has(rows, 1104, Between(3000, 1e300)); }},
      {"economy up to 20.5", [](Search& s) { s.AddMax("1106", "0", "", "20.5"); }, false, true,
       [](Rows rows) { return DefaultFilters(rows) && Has(rows, 1106, Between(-1e300, 20.5)); }},
      {"air conditioning, standard equipment only", [](Search& s) { s.AddSelection("7403", "0", "Y", "Y"); }, true, true,
       [](Rows rows) {
         return DefaultFilters(rows) && Has(rows, 7403, Is({"Y"})) &&
                std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.option == 0; });
       }},
      {"two values of one item cannot both hold",
       [](Search& s) { s.AddSelection("7401", "0", "", "US"), s.AddSelection("7401", "0", "", "JP"); }, false, true,
       [](Rows) { return false; }},
      {"selections ignored without reduce", [](Search& s) { s.AddSelection("7401", "0", "", "US"); }, false, false,
       DefaultFilters},
      {"a value selection without value needs only the item", [](Search& s) { s.AddSelection("7403", "0", "", ""); },
       false, true, [](Rows rows) { return DefaultFilters(rows) && Has(rows, 7403, Any()); }},
      {"restored open range needs only the item", [](Search& s) { s.CurrentState("1~1105~0~~!!~!!~2~7404~0~~L~"); },
       false, true,
       [](Rows rows) { return DefaultFilters(rows) && Has(rows, 1105, Any()) && Has(rows, 7404, Is({"L"})); }},
  };
  for (const auto& c : cases) {
    Search search;
    OnSample(search);
    c.setUp(search);
    EXPECT_EQ(search.GetNumberOfMatchingVehicles(c.standardOnly, c.reduce), IndependentCount(c.matches)) << c.name;
  }
}

// Sorted by a bracketed and a plain column on the real engine: one row per vehicle, in
// order, as many as the count.
TEST(GetMatchingVehicles, SortedListOnTheSample) {
  Search search;
  OnSample(search);
  search.AddSelection("7401", "0", "", "JP");
  auto rs = search.GetMatchingVehicles(false, true, "[model_year] , name");
  ASSERT_EQ(rs->FieldCount(), 3);
  std::set<int32_t> seen;
  std::pair<int32_t, std::string> previous{0, ""};
  for (; !rs->EndOfFile(); rs->MoveNext()) {
    EXPECT_TRUE(seen.insert(CLng(rs->Fields("vehicle_id").Value())).second);
    std::pair<int32_t, std::string> current{CLng(rs->Fields("model_year").Value()), CStr(rs->Fields("name").Value())};
    EXPECT_LE(previous, current);
    previous = current;
  }
  EXPECT_GT(seen.size(), 0u);
  EXPECT_EQ(static_cast<int32_t>(seen.size()), search.GetNumberOfMatchingVehicles());

  // A name with a quote and a bracket in it stays one name: the engine looks for that column.
  EXPECT_TRUE(mirel_test::RaisesHolding([&] { search.GetMatchingVehicles(false, true, "[no \"such]] column]"); },
                                        kErrBadSql, "mirel_base.Connector", "no \"such] column"));
}

// Anything in a sort list that is neither a plain nor a bracketed name is refused before
// any text reaches the engine.
TEST(GetMatchingVehicles, SortColumnsThatAreNotNamesAreRefused) {
  RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
  for (const char* column :
       {"[a]b", "[a", "a]", "[]", "[ ]", "[a]]", "[a] desc", "[a].[b]", "[a\tb]", "name desc", "1a"}) {
    EXPECT_TRUE(Raises([&] { search.GetMatchingVehicles(false, true, std::string("name, ") + column); }, kErrObject,
                       "mirel_SbF.AddTablePrefixToCommaDelimitedList",
                       std::string("Sort column is not a column name: \"") + column + "\""));
  }
  EXPECT_TRUE(recorder.SearchQueries().empty()) << "a refused text reached the engine";
  // A bracketed name that is not well-formed UTF-8 could not be passed on unchanged.
  EXPECT_THROW(AddTablePrefixToCommaDelimitedList("v", "[\xC3\xA9\xC3]"), Error);
  EXPECT_EQ(AddTablePrefixToCommaDelimitedList("v", "[\xC3\xA9]"), "v.[\xC3\xA9]");
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
  NoFilters(search);
  EXPECT_EQ(search.GetNumberOfMatchingVehicles(), static_cast<int32_t>(Equipment().size()));
}

}  // namespace
}  // namespace mirel_SbF
