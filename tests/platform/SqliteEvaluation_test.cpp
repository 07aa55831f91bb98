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
  int failures = 0;  // the same failure in every form was checked by the provider
  for (int database = 0; database < 6; ++database) {
    const std::string folder = mirel_test::MakeTempFolder("sbf_differential");
    mirel_test::RandomDatabases data(rng, folder);
    for (int search = 0; search < 30 && !::testing::Test::HasFailure(); ++search)
      failures += !mirel_test::RandomSearch(rng, "Provider=Differential;Data Source=" + folder,
                                            {data.codedValues, {"", "Engine", "Body"}});
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 800);
  EXPECT_LT(failures, 45);
  // Both faster forms were really taken, not only the text as written.
  EXPECT_GT(after.facets - before.facets, 300);
  EXPECT_GT(after.levels - before.levels, 50);
}

// Counting rides on the faster forms: the counts from postings are those of the texts as
// written, and the either-or row keeps its other values (counted without its own choices).
TEST(SqliteEvaluation, CountsFromPostingsAreThoseOfTheTextsAsWritten) {
  auto screen = [](const std::string& settings) {
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
      for (const auto& value : *row) out += value->DataValue() + "=" + std::to_string(value->VehicleCount()) + " ";
      out += "\n";
    }
    return out;
  };
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  const std::string fast = screen(";Evaluation=Facets;Cache MB=0");
  EXPECT_GT(mirel_platform::facets::EvaluationCountsForTesting().facets, before.facets);
  EXPECT_EQ(fast, screen(";Evaluation=Plain"));
  EXPECT_NE(fast.find("US="), std::string::npos) << "the either-or row lost its other values:\n" << fast;
}

}  // namespace
