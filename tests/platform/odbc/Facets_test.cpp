// The faster forms on PostgreSQL (with answers kept, "Cache Seconds"): random searches on the
// sample, every text the library composes run as written and in the faster form (computed,
// then from what was kept), the record sets compared; and nothing kept without the setting.
#include <gtest/gtest.h>

#include <random>

#include "ServerConfig.h"
#include "mirel_SbF/mirel_SbF.h"
#include "platform/FacetEvaluator.h"
#include "platform/odbc/OdbcProvider.h"
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
  auto pick = [&](std::vector<std::string> v) { return v[rng() % v.size()]; };
  for (int search = 0; search < 40; ++search) {
    mirel_SbF::Search s;
    s.SetDatabaseInfo("Provider=ServerDifferential", "specs", "prj", pick({"1", "3", "5"}) == "1" ? 1 : 3,
                      pick({"USD", "EUR,USD"}));
    s.ExcludeAdvancedVehicles(rng() % 2);
    s.ExcludeOldVehicles(rng() % 2);
    if (rng() % 4 == 0) s.MakeInclusionList(pick({"1", "2,3"}));
    // The counting queries too, with their own texts.
    s.CountVehicles(rng() % 2);
    if (rng() % 3 == 0) s.EitherOr("7401", "0", true);
    for (int c = static_cast<int>(rng() % 4); c > 0; --c) {
      switch (rng() % 4) {
        case 0: s.AddSelection("7401", "0", "", pick({"US", "EU", "JP"})); break;
        case 1: s.AddSelection(pick({"7402", "7404"}), "0", "", pick({"V", "I", "M", "L"})); break;
        case 2: s.AddMinMax(pick({"135", "1104"}), "0", "", pick({"0", "70", "2000"}), pick({"150", "3500"})); break;
        default: s.AddMin("902", "0", "", pick({"5000", "9000"})); break;
      }
    }
    const bool standard = rng() % 3 == 0;
    try {
      s.DoSearch(standard, pick({"", "Engine", "General"}), true);
      s.GetNumberOfMatchingVehicles(standard, true);
      s.GetMatchingVehicles(standard, true, pick({"", "name", "model_year,name"}))->Close();
    } catch (const mirel_SbF::Error&) {
      // the same failure in both forms was checked by the provider
    }
    if (::testing::Test::HasFailure()) return;
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 150);
  EXPECT_GT(after.facets - before.facets, 50);  // the faster forms were really taken
  EXPECT_GT(after.levels - before.levels, 50);
}

}  // namespace
