// Hostile values x every text argument on PostgreSQL, with the worst login a host could
// configure: one that may drop the tables (a member of their owner) and whose sessions
// default to standard_conforming_strings = off, where a backslash escapes a quote.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "ServerConfig.h"
#include "support/HostileMatrix.h"
#include "support/SampleData.h"

namespace {

using mirel_test::AsSuperuser;

TEST(OdbcServer, HostileValuesChangeNothingForAnOwnerWithoutStandardStrings) {
  MIREL_REQUIRE_SERVER(server);
  AsSuperuser(*server, R"SQL(
DO $$ BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'sbf_canary') THEN
    CREATE ROLE sbf_canary LOGIN PASSWORD 'sbf_canary';
  END IF;
END $$;
GRANT CONNECT ON DATABASE mirel TO sbf_canary;
GRANT sbf_owner TO sbf_canary;
GRANT USAGE ON SCHEMA specs, prj TO sbf_canary;
GRANT SELECT ON ALL TABLES IN SCHEMA specs, prj TO sbf_canary;
ALTER ROLE sbf_canary SET standard_conforming_strings = off;
DROP TABLE IF EXISTS specs.canary;
CREATE TABLE specs.canary (a int);
INSERT INTO specs.canary VALUES (1);
ALTER TABLE specs.canary OWNER TO sbf_owner;
)SQL");

  // The login really meets the dangerous setting and really may drop the canary.
  std::string out;
  const std::string psql = "PGPASSWORD=sbf_canary PGCONNECT_TIMEOUT=10 psql -X -q -A -t -h 127.0.0.1 -p " +
                           server->port + " -U sbf_canary -d mirel -c ";
  ASSERT_EQ(mirel_test::RunCommand(psql + "\"show standard_conforming_strings\"", out), 0) << out;
  EXPECT_EQ(out, "off\n");
  ASSERT_EQ(mirel_test::RunCommand(psql + "\"begin; drop table specs.canary; rollback\"", out), 0) << out;

  const std::string connection =
      mirel_test::WithEntry(mirel_test::WithEntry(server->connection, "Uid", "sbf_canary"), "Pwd", "sbf_canary");
  for (const auto& finding : mirel_test::RunHostileMatrix(connection, "specs", "prj"))
    ADD_FAILURE() << finding.argument << " <- \"" << finding.value << "\": " << finding.what;

  EXPECT_EQ(AsSuperuser(*server, "SELECT count(*) FROM specs.canary;"), "1\n");
  EXPECT_EQ(AsSuperuser(*server, "SELECT count(*) > 400 FROM (SELECT DISTINCT vehicle_id FROM specs.equipment) v;"),
            "t\n");
}

}  // namespace
