// The connection string, and the embedded engine: typed values and errors (a write is refused
// as a text, before the engine reads it).
#include "engines/sqlite/SqliteProvider.h"

#include <sqlite3.h>

#include <memory>
#include <optional>
#include <string_view>

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "engines/ConnectionString.h"
#include "engines/sqlite/SqliteFastPath.h"
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


// The faster forms answer "LEFT(data_value, N) <> N'(O)'" (the old models' filter) from the
// values themselves: the prefix must be SQLite's own substr(v, 1, N), byte for byte, also for
// letters of several bytes, bytes that are not UTF-8, a NUL inside and counts past the text.
TEST(SqliteLeft, IsSqlitesOwnSubstr) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close)> close(db, sqlite3_close);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "select substr(?1, 1, ?2)", -1, &stmt, nullptr), SQLITE_OK);
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> finalize(stmt, sqlite3_finalize);
  const std::string texts[] = {"",         "(O)1970", "(O",           "(Ö)x",          "é(O)",        "日本語です",
                               "\xff\xfe(O)", "(\x80\x80O)", std::string("(O\0)x", 5), "\xc3", "(+)\xf0\x9f\x9a\x97"};
  for (const std::string& text : texts) {
    for (int64_t count : {0, 1, 2, 3, 4, 10}) {
      sqlite3_reset(stmt);
      sqlite3_bind_text(stmt, 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
      sqlite3_bind_int64(stmt, 2, count);
      ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
      const std::string engine(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                               static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
      const std::optional<std::string_view> ours = mirel_platform::sqlite_detail::SqliteLeft(text, count);
      ASSERT_TRUE(ours.has_value());
      EXPECT_EQ(std::string(*ours), engine) << "substr of \"" << text << "\" to " << count;
    }
  }
  // Counts SQLite reads otherwise are left to it.
  EXPECT_FALSE(mirel_platform::sqlite_detail::SqliteLeft("(O)", -1));
  EXPECT_FALSE(mirel_platform::sqlite_detail::SqliteLeft("(O)", int64_t{1} << 32));
}

}  // namespace
