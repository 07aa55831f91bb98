// The connection string, and the embedded engine: typed values and errors (a write is refused
// as a text, before the engine reads it).
#include "engines/sqlite/SqliteProvider.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "engines/ConnectionString.h"
#include "support/Raises.h"
#include "support/SampleData.h"

using mirel_platform::ParseConnectionString;
using mirel_platform::SqliteExecuteQuery;
using mirel_SbF::Variant;

namespace {

TEST(ConnectionString, ParsesTrimsQuotesAndIgnoresEmptyEntries) {
  auto cs = ParseConnectionString(" Provider = SQLite ;Data Source={a;b=c} ; X=\"q\"\"x\";;");
  EXPECT_EQ(cs.Provider(), "SQLite");
  EXPECT_EQ(cs.Get("data source").value(), "a;b=c");
  EXPECT_EQ(cs.Get("x").value(), "q\"x");
  EXPECT_FALSE(cs.Get("missing").has_value());
  ASSERT_EQ(cs.Pairs().size(), 3u);
  EXPECT_EQ(cs.Pairs()[1].first, "Data Source");
  EXPECT_EQ(ParseConnectionString("Data Source=x").Provider(), "SQLite");
}

TEST(ConnectionString, RefusesMalformedEntries) {
  for (const char* bad : {"Data Source=x;oops", "=value", "a={open", "a=1;A=2"})
    EXPECT_TRUE(mirel_test::RaisesHolding([&] { ParseConnectionString(bad); }, mirel_SbF::kErrUnspecified,
                                          "mirel_base.Connector", ""))
        << bad;
}

class SqliteProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mirel_test::ExecSql(dir + "/veh.db",
                        "create table equipment(vehicle_id integer, data_value text, price real, big integer, note text);"
                        "insert into equipment values (1, 'O''Brien', 1.5, 5000000000, null), (2, 'S', 2.0, 7, 'x');");
  }
  void TearDown() override { mirel_platform::SqliteCloseCachedConnections(); }
  ::testing::AssertionResult Raises(const std::string& sql, const std::string& db, int32_t number, const std::string& part) {
    return mirel_test::RaisesHolding([&] { SqliteExecuteQuery(sql, db, conn); }, number, "mirel_base.Connector", part);
  }
  const std::string dir = mirel_test::MakeTempFolder("sqlite_provider");
  std::string conn = "Provider=SQLite;Data Source=" + dir;
};

TEST_F(SqliteProviderTest, ReturnsTypedValuesAndNull) {
  auto rs = SqliteExecuteQuery("select vehicle_id, data_value, price, big, note from equipment where data_value = N'O''Brien';", "veh", conn);
  ASSERT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Fields("vehicle_id").Value(), Variant(int32_t{1}));
  EXPECT_EQ(rs->Fields("data_value").Value(), Variant("O'Brien"));
  EXPECT_EQ(rs->Fields("price").Value(), Variant(1.5));
  EXPECT_EQ(rs->Fields("big").Value(), Variant(5000000000.0));
  EXPECT_TRUE(rs->Fields("note").Value().IsNull());
  // An empty result is at its end at once and still names its columns.
  rs = SqliteExecuteQuery("select vehicle_id from equipment where vehicle_id = 99", "veh", conn);
  EXPECT_TRUE(rs->EndOfFile());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(rs->FieldCount(), 1);
}

TEST_F(SqliteProviderTest, ReportsErrors) {
  EXPECT_TRUE(Raises("select a from t", "nosuch", mirel_SbF::kErrUnspecified, "nosuch.db"));
  EXPECT_TRUE(Raises("select a from nosuch..t", "veh", mirel_SbF::kErrUnspecified, "nosuch.db"));
  EXPECT_TRUE(Raises("select missing_column from equipment", "veh", mirel_SbF::kErrBadSql, "no such column: missing_column"));
  EXPECT_TRUE(Raises("select a from t", "../veh", mirel_SbF::kErrUnspecified, "plain name"));
  EXPECT_TRUE(Raises("insert into equipment values (3)", "veh", mirel_SbF::kErrBadSql, "select"));
  conn = "Provider=SQLite";
  EXPECT_TRUE(Raises("select 1", "veh", mirel_SbF::kErrUnspecified, "Data Source"));
}

}  // namespace
