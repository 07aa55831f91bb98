// The SQLite engine's faster forms against the texts as written: random databases, random
// searches through the library (counted screens and either-or rows among them), every text the
// library composes run three ways (as written, level by level, and from postings) and the
// record sets compared row by row.
#include <gtest/gtest.h>

#include <random>

#include "index/FacetEvaluator.h"
#include "engines/sqlite/SqliteProvider.h"
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
    mirel_test::RandomDatabases data(
        rng, folder, static_cast<mirel_test::RandomDatabases::Ids>(database % mirel_test::RandomDatabases::kIdShapes));
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

}  // namespace
