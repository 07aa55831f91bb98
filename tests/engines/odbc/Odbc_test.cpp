// The ODBC connector: what it hands to a driver, what it sends to each kind of server,
// and, against the test server, the errors a user meets and the role that only reads.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "engines/odbc/OdbcProvider.h"
#include "ServerConfig.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace mirel_platform {
namespace {

using mirel_base::kConnectorSource;
using mirel_SbF::kErrBadSql;
using mirel_SbF::kErrUnspecified;
using mirel_test::RaisesHolding;

// The connector's own keys never reach the driver.
TEST(OdbcSettings, EntriesReachTheDriverWithoutOursAndThePasswordIsNeverShown) {
  struct Case { const char* conn; const char* driver; const char* shown; int32_t connect, command, cache; } cases[] = {
      {"Provider=ODBC;Driver={PostgreSQL Unicode};Server=db1;Uid=u;Pwd=secret",
       "Driver=PostgreSQL Unicode;Server=db1;Uid=u;Pwd=secret;", "Driver=PostgreSQL Unicode;Server=db1;Uid=u;Pwd=***", 15, 30, 0},
      {"provider=odbc; DSN = replica ;Connect Timeout=3;Command Timeout=0;Cache Seconds=5;cache mb=1", "DSN=replica;",
       "DSN=replica", 3, 0, 5},
  };
  for (const Case& c : cases) {
    const OdbcSettings s = OdbcSettingsOf(c.conn);
    EXPECT_EQ(s.driverString, c.driver) << c.conn;
    EXPECT_EQ(s.shownString, c.shown) << c.conn;
    EXPECT_EQ(s.connectTimeoutSeconds, c.connect) << c.conn;
    EXPECT_EQ(s.commandTimeoutSeconds, c.command) << c.conn;
    EXPECT_EQ(s.cacheSeconds, c.cache) << c.conn;
  }
}

TEST(OdbcSettings, BadStringsAreRefusedNamingTheEntry) {
  struct Case { const char *conn, *says; } cases[] = {
      {"Provider=ODBC;Server=db1", "names no Driver or DSN"},
      {"Provider=ODBC;Driver=x;Connect Timeout=soon", "\"Connect Timeout\" is \"soon\""},
      {"Provider=ODBC;Driver=x;Command Timeout=-1", "\"Command Timeout\" is \"-1\""},
      {"Provider=ODBC;Driver=x;Cache Seconds=-5", "\"Cache Seconds\" is \"-5\""},
      {"Provider=ODBC;Driver=x;Cache MB=lots", "\"Cache MB\" is \"lots\"; it must be a whole number of megabytes"},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(RaisesHolding([&] { OdbcSettingsOf(c.conn); }, kErrUnspecified, kConnectorSource, c.says)) << c.conn;
}

constexpr const char* kLibraryText =
    "select distinct a.[data_value], N'x' + t.full_text as Name from specs..equipment a "
    "inner join specs..schema_text t on t.schema_id = a.schema_id where a.data_value in (N'O''Neil')";

TEST(OdbcText, SqlServerRunsTheLibraryTextUnchangedAndPostgreSqlTheRewrite) {
  EXPECT_EQ(OdbcTextForServer(kLibraryText, "Microsoft SQL Server"), kLibraryText);
  EXPECT_EQ(OdbcTextForServer(kLibraryText, "PostgreSQL"),
            "select distinct a.\"data_value\", 'x' || t.full_text as Name from specs.equipment a "
            "inner join specs.schema_text t on t.schema_id = a.schema_id where a.data_value in ('O''Neil')");
}

TEST(OdbcText, WritesAndUnknownServersAreRefusedBeforeAnythingIsSent) {
  for (const char* dbms : {"Microsoft SQL Server", "PostgreSQL"}) {
    for (const char* sql : {"delete from specs..version", "select 1; drop table version", "update version set name = 1"})
      EXPECT_TRUE(RaisesHolding([&] { OdbcTextForServer(sql, dbms); }, kErrBadSql, kConnectorSource, "")) << sql;
  }
  EXPECT_TRUE(RaisesHolding([] { OdbcTextForServer("select 1", "MySQL"); }, kErrUnspecified, kConnectorSource,
                            "not to MySQL"));
}

// A text that is not UTF-8 is refused for every server, however a lenient decoder would
// read it: the overlong C0 A7 must never arrive as a quote.
TEST(OdbcText, TextThatIsNotUtf8NeverReachesAServer) {
  const std::string sql = "select count(*) as n from equipment where data_value = N'x\xC0\xA7 or data_value <> \xC0\xA7'";
  for (const char* dbms : {"Microsoft SQL Server", "PostgreSQL"})
    EXPECT_TRUE(RaisesHolding([&] { OdbcTextForServer(sql, dbms); }, kErrBadSql, kConnectorSource,
                              "not well-formed UTF-8 at position 59 ")) << dbms;
  // Refused before a connection is made: the driver named here does not exist.
  EXPECT_TRUE(RaisesHolding([&] { OdbcExecuteQuery(sql, "specs", "Provider=ODBC;Driver={No Such Driver}"); },
                            kErrBadSql, kConnectorSource, "not well-formed UTF-8"));
}

// --- Against the test server ----------------------------------------------------------

TEST(OdbcServer, ConnectionFailuresNameWhatFailed) {
  MIREL_REQUIRE_SERVER(server);
  struct Case { std::string conn, db, says; } cases[] = {
      {mirel_test::WithEntry(server->connection, "Pwd", "wrong"), "specs", "password authentication failed"},
      {mirel_test::WithEntry(server->connection, "Database", "nosuchdb"), "specs", "database \"nosuchdb\" does not exist"},
      {mirel_test::WithEntry(server->connection, "Port", "1"), "specs", "Connection refused"},
      {server->connection, "nosuch", "The database \"nosuch\" does not exist"},
  };
  mirel_base::Connector connector;
  for (const Case& c : cases) {
    const auto call = [&] { connector.ExecuteQuery("select count(*) as n from version", c.db, c.conn); };
    EXPECT_TRUE(RaisesHolding(call, kErrUnspecified, kConnectorSource, c.says));
    EXPECT_FALSE(RaisesHolding(call, kErrUnspecified, kConnectorSource, "Pwd=wrong"));
  }
}

TEST(OdbcServer, ValuesArriveWithTheirTypesAndTextsInUtf8) {
  MIREL_REQUIRE_SERVER(server);
  mirel_base::Connector connector;
  auto rs = connector.ExecuteQuery(
      "select count(*) as n, cast(1.5 as float) as f, N'Général – 5 €' as t, min(schema_id) as m, "
      "cast(null as float) as z from version inner join equipment on equipment.vehicle_id = version.vehicle_id "
      "where equipment.schema_id = 7401",
      "specs", server->connection);
  ASSERT_FALSE(rs->EndOfFile());
  EXPECT_EQ(rs->Fields("N").Value().Type(), mirel_SbF::VariantType::Long);
  EXPECT_EQ(rs->Fields("f").Value(), mirel_SbF::Variant(1.5));
  EXPECT_EQ(rs->Fields("t").Value(), mirel_SbF::Variant("Général – 5 €"));
  EXPECT_EQ(rs->Fields("m").Value(), mirel_SbF::Variant(int32_t{7401}));
  EXPECT_TRUE(rs->Fields("z").Value().IsNull());
  // A server error is the query's, not the connection's.
  EXPECT_TRUE(RaisesHolding([&] { connector.ExecuteQuery("select nosuchcolumn from version", "specs", server->connection); },
                            kErrBadSql, kConnectorSource, "nosuchcolumn"));
}

TEST(OdbcServer, AQueryOverTheCommandTimeoutIsCancelled) {
  MIREL_REQUIRE_SERVER(server);
  mirel_base::Connector connector;
  const auto call = [&] {
    connector.ExecuteQuery("select count(*) as n from equipment a, equipment b, equipment c", "specs",
                           mirel_test::WithEntry(server->connection, "Command Timeout", "1"));
  };
  EXPECT_TRUE(RaisesHolding(call, kErrUnspecified, kConnectorSource, "ran longer than the command timeout of 1 s"));
}

// Answers are kept only when the connection string asks, and then the same text is answered
// without the server (no connection is opened for it).
TEST(OdbcServer, AnswersAreKeptOnlyWhenAskedFor) {
  MIREL_REQUIRE_SERVER(server);
  mirel_base::Connector connector;
  const std::string text = "select count(*) as n from categories";
  for (const char* seconds : {"0", "60"}) {
    const std::string conn =
        mirel_test::WithEntry(mirel_test::WithEntry(server->connection, "Command Timeout", "28"), "Cache Seconds", seconds);
    const auto first = connector.ExecuteQuery(text, "prj", conn);
    OdbcClosePooledConnections();
    const OdbcPoolCounts before = OdbcPoolCountsForTesting();
    const auto second = connector.ExecuteQuery(text, "prj", conn);
    EXPECT_EQ(second->Fields("n").Value(), first->Fields("n").Value());
    EXPECT_EQ(OdbcPoolCountsForTesting().opened - before.opened, std::string(seconds) == "0" ? 1 : 0) << seconds;
  }
}

}  // namespace
}  // namespace mirel_platform
