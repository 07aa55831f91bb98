// The faster forms on PostgreSQL (with answers kept, "Cache Seconds"): random searches on the
// sample and on a copy of it whose vehicle ids lie across the whole 64-bit range, every text
// the library composes run as written and in the faster form (computed, then from what was
// kept), the record sets compared; and nothing kept without the setting.
#include <gtest/gtest.h>

#include <random>

#include "ServerConfig.h"
#include "mirel_SbF/mirel_SbF.h"
#include "index/Evaluator.h"
#include "engines/odbc/OdbcProvider.h"
#include "support/SameRecordSets.h"

namespace {

// The sample's specifications as schema specs_wide, each vehicle id moved: the lowest to the
// lowest of 64 bits, the highest to 2^62 + 1, every third below zero, the others past 2^53
// where a Double makes neighbours one.
constexpr const char* kWideIds = R"SQL(
DROP SCHEMA IF EXISTS specs_wide CASCADE;
CREATE SCHEMA specs_wide;
CREATE TEMP TABLE ids AS
  SELECT id AS old, CASE WHEN id = (SELECT min(vehicle_id) FROM specs.equipment) THEN -9223372036854775807 - 1
                         WHEN id = (SELECT max(vehicle_id) FROM specs.equipment) THEN 4611686018427387905
                         WHEN id % 3 = 0 THEN -1000003 * id
                         ELSE 9007199254740992 + id END AS new
  FROM (SELECT vehicle_id AS id FROM specs.equipment UNION SELECT vehicle_id FROM specs.version) v;
CREATE TABLE specs_wide.equipment (LIKE specs.equipment INCLUDING ALL);
INSERT INTO specs_wide.equipment SELECT * FROM specs.equipment;
UPDATE specs_wide.equipment e SET vehicle_id = ids.new FROM ids WHERE ids.old = e.vehicle_id;
CREATE TABLE specs_wide.version (LIKE specs.version INCLUDING ALL);
INSERT INTO specs_wide.version SELECT * FROM specs.version;
UPDATE specs_wide.version v SET vehicle_id = ids.new FROM ids WHERE ids.old = v.vehicle_id;
CREATE TABLE specs_wide.schema_info AS SELECT * FROM specs.schema_info;
CREATE TABLE specs_wide.schema_text AS SELECT * FROM specs.schema_text;
GRANT USAGE ON SCHEMA specs_wide TO sbf_reader;
GRANT SELECT ON ALL TABLES IN SCHEMA specs_wide TO sbf_reader;
ANALYZE specs_wide.equipment;
)SQL";

TEST(OdbcFacets, RandomSearchesOnTheServerGiveTheSameRecordSetsWithAnswersKept) {
  MIREL_REQUIRE_SERVER(server);
  mirel_test::AsSuperuser(*server, kWideIds);
  // Each text as written, computed in the faster form, then from what was kept; and the
  // levels alone. The specifications are those of `specs`.
  std::string specs;
  mirel_test::DifferentialProvider provider(
      "ServerDifferential", "", {";Cache Seconds=600", ";Cache Seconds=600", ";Cache Seconds=601;Evaluation=Levels"},
      [&](const std::string& sql, const std::string& db, const std::string&, const std::string& setting) {
        return mirel_platform::OdbcExecuteQuery(sql, db == "specs" ? specs : db, server->connection + setting);
      });
  const auto before = mirel_platform::facets::EvaluationCountsForTesting();
  std::mt19937 rng(1207);
  for (const char* schema : {"specs", "specs_wide"}) {
    specs = schema;
    for (int search = 0; search < 25 && !::testing::Test::HasFailure(); ++search)
      mirel_test::RandomSearch(rng, "Provider=ServerDifferential",
                               {{"US", "EU", "JP", "V", "I", "M", "L"}, {"", "Engine", "General"}});
  }
  const auto after = mirel_platform::facets::EvaluationCountsForTesting();
  EXPECT_GT(provider.Compared(), 150);
  EXPECT_GT(after.facets - before.facets, 50);  // the faster forms were really taken
  EXPECT_GT(after.levels - before.levels, 50);
}

}  // namespace
