// The faster forms on PostgreSQL (with answers kept, "Cache Seconds"): random searches on the
// sample, every text the library composes run as written and in the faster form (computed,
// then from what was kept), the record sets compared; and nothing kept without the setting.
#include <gtest/gtest.h>

#include <random>

#include "ServerConfig.h"
#include "mirel_SbF/mirel_SbF.h"
#include "index/FacetEvaluator.h"
#include "engines/odbc/OdbcProvider.h"
#include "support/SameRecordSets.h"

namespace {

TEST(OdbcFacets, RandomSearchesOnTheServerGiveTheSameRecordSetsWithAnswersKept) {
  MIREL_REQUIRE_SERVER(server);
  // Each text as written, computed in the faster form, then from what was kept; and the
  // levels alone.
  mirel_test::DifferentialProvider provider(
      "ServerDifferential", "", {";Cache Seconds=600", ";Cache Seconds=600", ";Cache Seconds=601;Evaluation=Levels"},
      [&](const std::string& sql, const std::string& db, const std::string&, const std::string& setting) {
        return mirel_platform::OdbcExecuteQuery(sql, db, server->connection + setting);
      });
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  std::mt19937 rng(1207);
  for (int search = 0; search < 40 && !::testing::Test::HasFailure(); ++search)
    mirel_test::RandomSearch(rng, "Provider=ServerDifferential",
                             {{"US", "EU", "JP", "V", "I", "M", "L"}, {"", "Engine", "General"}});
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 150);
  EXPECT_GT(after.facets - before.facets, 50);  // the faster forms were really taken
  EXPECT_GT(after.levels - before.levels, 50);
}

}  // namespace
