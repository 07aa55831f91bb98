// The SQL texts the library composes, whole and in order, for searches that reach every
// kind of query: compared with tests/golden/sql/*.sql. The texts run on the sample on their
// way (so that the screens hold rows and the range rows' step counts are asked for too).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engines/sqlite/SqliteProvider.h"
#include "mirel_SbF/mirel_SbF.h"
#include "support/Golden.h"
#include "support/SampleData.h"

namespace {

using mirel_SbF::Search;

// Registered as Provider=Tap: writes each text down, then runs it on the sample.
class Tap {
 public:
  Tap() {
    mirel_base::RegisterProvider("Tap", [this](const std::string& sql, const std::string& db, const std::string&) {
      m_texts += "-- " + std::to_string(++m_count) + ". in " + db + "\n" + sql + "\n\n";
      return mirel_platform::SqliteExecuteQuery(sql, db, "Data Source=" + mirel_test::SampleFolder());
    });
  }
  const std::string& Texts() const { return m_texts; }

 private:
  std::string m_texts;
  int m_count = 0;
};

TEST(QueryTexts, EveryKindOfQueryAsComposed) {
  struct Case {
    const char* golden;
    std::function<void(Search&)> run;
  } cases[] = {
      {"sql/first-screen.sql",
       [](Search& s) {
         s.SetDatabaseInfo("Provider=Tap", "specs", "prj", 1, "USD");
         s.DoSearch();
         s.GetNumberOfMatchingVehicles();
         s.GetMatchingVehicles(false, true, "name");
         s.GetSbFHeadings();
       }},
      {"sql/filters-and-choices.sql",
       [](Search& s) {
         s.SetDatabaseInfo("Provider=Tap", "specs", "prj", 3, "EUR,USD");
         s.ExcludeOldVehicles(false);
         s.MakeInclusionList("02, 05");
         s.OEMInclusionList("03");
         s.ModelExclusionList("x,y");
         s.SegmentId(1);
         s.AddSelection("7401", "0", "", "EU");
         s.AddMinMax("135", "0", "", "70", "100");
         s.AddMin("902", "0", "", "5000");
         s.AddMax("1106", "0", "", "30.5");
         s.DoSearch(true, "Engine", true);
         s.DoSearch(false, "General", false);
         s.GetNumberOfMatchingVehicles(true, true);
         s.GetMatchingVehicles(false, true, "name, model_year");
       }},
      {"sql/counts-and-either-or.sql",
       [](Search& s) {
         s.SetDatabaseInfo("Provider=Tap", "specs", "prj", 1, "USD,EUR");
         s.CountVehicles(true);
         s.KeepAllValues(true);
         s.EitherOr("7401", "0", true);
         s.AddSelection("7401", "0", "", "EU");
         s.AddSelection("7401", "0", "", "JP");
         s.AddMinMax("135", "0", "", "70", "100");
         s.DoSearch();
       }},
  };
  for (const auto& c : cases) {
    Tap tap;
    Search search;
    c.run(search);
    EXPECT_TRUE(mirel_test::MatchesGolden(c.golden, tap.Texts()));
  }
}

}  // namespace
