// The SQLite engine's faster forms against the texts as written: random databases, random
// searches through the library, every text the library composes run three ways (as written,
// level by level, and from postings) and the record sets compared row by row.
#include <gtest/gtest.h>

#include <random>

#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "platform/FacetEvaluator.h"
#include "platform/sqlite/SqliteProvider.h"
#include "support/SameRecordSets.h"
#include "support/RandomDatabases.h"
#include "support/SampleData.h"

namespace {

TEST(SqliteEvaluation, RandomSearchesGiveTheSameRecordSetsInEveryForm) {
  // Each text as written, level by level, and twice from postings (the second run answers
  // from what the first one kept), also with nothing kept.
  mirel_test::DifferentialProvider provider(
      "Differential", "Evaluation=Plain",
      {"Evaluation=Levels", "Evaluation=Facets", "Evaluation=Facets", "Evaluation=Facets;Cache MB=0"},
      [](const std::string& sql, const std::string& db, const std::string& conn, const std::string& setting) {
        return mirel_platform::SqliteExecuteQuery(sql, db, conn.substr(conn.find("Data Source=")) + ";" + setting);
      });
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  std::mt19937 rng(20261207);
  int failures = 0;
  for (int database = 0; database < 6; ++database) {
    const std::string folder = mirel_test::MakeTempFolder("sbf_differential");
    mirel_test::RandomDatabases data(rng, folder);
    auto pick = [&](std::vector<std::string> v) { return v[rng() % v.size()]; };
    for (int search = 0; search < 30; ++search) {
      mirel_SbF::Search s;
      const int lang = rng() % 2 ? 1 : 3;
      s.SetDatabaseInfo("Provider=Differential;Data Source=" + folder, "specs", "prj", lang,
                        pick({"USD", "EUR,USD", "GBP,EUR,USD"}));
      s.ExcludeAdvancedVehicles(rng() % 2);
      s.ExcludeOldVehicles(rng() % 2);
      s.ExcludeBuiltVehicles(rng() % 2);
      if (rng() % 3 == 0) s.MakeInclusionList(pick({"1", "2,3", "1, 4", "9"}));
      if (rng() % 4 == 0) s.OEMInclusionList(pick({"1", "2,3"}));
      if (rng() % 4 == 0) s.ModelExclusionList(pick({"1", "2,5"}));
      if (rng() % 4 == 0) s.SegmentId(1);
      // Counts, kept values and either-or criteria: texts of their own, compared the same way.
      s.CountVehicles(rng() % 2);
      s.KeepAllValues(rng() % 4 == 0);
      if (rng() % 3 == 0) s.EitherOr(pick({"7401", "7402", "1101"}), pick({"0", "1"}), true);
      for (int c = static_cast<int>(rng() % 6); c > 0; --c) {
        switch (rng() % 4) {
          case 0: s.AddSelection(pick({"7401", "7402"}), pick({"0", "1"}), "", pick(data.codedValues)); break;
          case 1: s.AddMinMax(pick({"1101", "135"}), "0", "", pick({"-5", "0", "10"}), pick({"12", "100", "300"})); break;
          case 2: s.AddMin("902", "0", "", pick({"6000", "12000.5"})); break;
          default: s.AddMax(pick({"135", "1101"}), pick({"0", "1"}), "", pick({"1.5", "50"})); break;
        }
      }
      const bool standard = rng() % 3 == 0;
      const bool reduce = rng() % 4 != 0;
      try {
        s.DoSearch(standard, pick({"", "Engine", "Body"}), reduce);
        s.GetNumberOfMatchingVehicles(standard, reduce);
        s.GetMatchingVehicles(standard, reduce, pick({"", "name", "model_year,name", "price"}))->Close();
        s.GetSbFHeadings()->Close();
      } catch (const mirel_SbF::Error&) {
        ++failures;  // the same failure in every form was checked by the provider
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 800);
  EXPECT_LT(failures, 45);
  // Both faster forms were really taken, not only the text as written.
  EXPECT_GT(after.facets - before.facets, 300);
  EXPECT_GT(after.levels - before.levels, 50);
}

// Counting rides on the faster forms: each counting query of a screen is answered from
// postings (none runs as written), and the counts are those of the texts as written.
TEST(SqliteEvaluation, CountingQueriesAreAnsweredFromPostings) {
  auto screen = [](const std::string& settings, int* rangeRows) {
    mirel_SbF::Search s;
    s.SetDatabaseInfo("Data Source=" + mirel_test::SampleFolder() + settings, "specs", "prj", 1, "USD");
    s.CountVehicles(true);
    s.EitherOr("7401", "0", true);
    s.AddSelection("7401", "0", "", "EU");
    s.AddSelection("7401", "0", "", "JP");
    s.AddMinMax("1101", "0", "", "4", "6");
    s.DoSearch();
    std::string out;
    for (const auto& row : s) {
      if (rangeRows) *rangeRows += row->IsMinMax();
      for (const auto& value : *row) out += value->DataValue() + "=" + std::to_string(value->VehicleCount()) + " ";
      out += "\n";
    }
    return out;
  };
  int rangeRows = 0;
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  const std::string fast = screen(";Evaluation=Facets;Cache MB=0", &rangeRows);
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  // Three list queries, two counting queries under every choice, two more without the
  // either-or criterion's own, one per range row.
  EXPECT_EQ(after.facets - before.facets, 3 + 2 + 2 + rangeRows);
  EXPECT_GT(rangeRows, 0);
  EXPECT_EQ(fast, screen(";Evaluation=Plain", nullptr));
  EXPECT_NE(fast.find("US="), std::string::npos) << "the either-or row lost its other values:\n" << fast;
}

}  // namespace
