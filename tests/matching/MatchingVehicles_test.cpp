// The matching-vehicle queries: their texts, and their answers on the sample databases
// against an independent evaluation of the same filters and selections, also for many choices.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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
using mirel_test::SampleCount;

// The vehicle lists' texts; anything in a sort list that is neither a plain nor a bracketed
// name is refused before any text reaches the engine.
TEST(GetMatchingVehicles, QueryTextsAndSortColumnsThatAreNotNames) {
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

  search.ExcludeAdvancedVehicles(false);
  search.ExcludeOldVehicles(false);
  search.ExcludeBuiltVehicles(false);
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
    search.GetMatchingVehicles(c.standardOnly, false, c.sortList);
    EXPECT_EQ(recorder.SearchQueries().back().sql, c.expected);
  }
  EXPECT_EQ(recorder.SearchQueries().size(), std::size(cases));
}

// ---- the sample databases, evaluated independently ----------------------------------

TEST(GetNumberOfMatchingVehicles, EqualsAnIndependentCountOnTheSample) {
  // Codes of the sample in ascending order, so that the cases do not depend on how the
  // builder numbers makes and models.
  auto codes = [](int schema) {
    return mirel_test::SampleColumn("select distinct data_value from equipment where schema_id = " +
                                    std::to_string(schema) + " order by 1");
  };
  const std::vector<std::string> models = codes(112), groups = codes(117);
  ASSERT_GE(groups.size(), 2u);
  struct Case {
    const char* name;
    std::function<void(Search&)> setUp;
    bool standardOnly;
    int expected;
  } cases[] = {
      {"default filters", [](Search&) {}, false, SampleCount({})},
      {"maker group and model exclusion",
       [&](Search& s) { s.OEMInclusionList(groups[0] + "," + groups[1]), s.ModelExclusionList(models[0] + ", " + models[1]); },
       false, SampleCount({{117, "e.data_value in ('" + groups[0] + "', '" + groups[1] + "')"},
                           {112, "e.data_value not in ('" + models[0] + "', '" + models[1] + "')"}})},
      {"origin EU and horsepower 70..100",
       [](Search& s) { s.AddSelection("7401", "0", "", "EU"), s.AddMinMax("135", "0", "", "70", "100"); }, false,
       SampleCount({{7401, "e.data_value = 'EU'"}, {135, "e.location = 0 and cast(e.data_value as real) between 70 and 100"}})},
      {"air conditioning, standard equipment only", [](Search& s) { s.AddSelection("7403", "0", "Y", "Y"); }, true,
       SampleCount({{7403, "e.data_value = 'Y' and exists (select 1 from equipment s where s.vehicle_id = e.vehicle_id "
                           "and s.option_id = 0)"}})},
  };
  for (const auto& c : cases) {
    Search search;
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
    c.setUp(search);
    EXPECT_EQ(search.GetNumberOfMatchingVehicles(c.standardOnly), c.expected) << c.name;
  }
}

// Any number of choices: a hundred selections (each one more nested level of the text) give
// the answer of the few distinct choices among them (the vehicle count, the number of screen
// rows and the first five vehicles), on every engine. The vehicles sorted by a bracketed and
// a plain column: one row per vehicle, in order, as many as the count.
TEST(ManyChoices, AHundredNestedChoicesGiveTheAnswerOfTheirDistinctChoices) {
  auto ask = [](int repeats) {
    Search s;
    s.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
    for (int i = 0; i < repeats; ++i) {
      s.AddSelection("7401", "0", "", "EU");
      s.AddMinMax("135", "0", "", "70", "200");
      s.AddMax("1104", "0", "", "3500");
    }
    const int32_t count = s.GetNumberOfMatchingVehicles();
    s.DoSearch(false, "", true);
    std::string answer = std::to_string(count) + " vehicles, " + std::to_string(s.Count()) + " rows:";
    auto rs = s.GetMatchingVehicles(false, true, "[model_year] , name");
    std::set<int32_t> seen;
    std::pair<int32_t, std::string> previous{0, ""};
    for (; !rs->EndOfFile(); rs->MoveNext()) {
      EXPECT_TRUE(seen.insert(CLng(rs->Fields("vehicle_id").Value())).second);
      std::pair<int32_t, std::string> current{CLng(rs->Fields("model_year").Value()), CStr(rs->Fields("name").Value())};
      EXPECT_LE(previous, current);
      if (seen.size() <= 5) answer += " " + current.second;
      previous = current;
    }
    EXPECT_EQ(static_cast<int32_t>(seen.size()), count);
    return answer;
  };
  const std::string few = ask(1);
  ASSERT_NE(few.rfind("0 vehicles", 0), 0u) << few;
  for (int repeats : {4, 34}) EXPECT_EQ(ask(repeats), few) << repeats;  // 12 and 102 selections
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
  mirel_test::ExecSql(folder + "/specs.db", "create table canary (a int); insert into canary values (1);");

  for (const auto& finding : mirel_test::RunHostileMatrix("Provider=SQLite;Data Source=" + folder, "specs", "prj"))
    ADD_FAILURE() << finding.argument << " <- \"" << finding.value << "\": " << finding.what;

  EXPECT_EQ(mirel_test::RowsOf(folder, "select (select a from canary), count(*) from equipment"),
            mirel_test::RowsOf(mirel_test::SampleFolder(), "select 1, count(*) from equipment"));
}

}  // namespace
}  // namespace mirel_SbF
