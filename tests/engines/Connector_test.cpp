// The connector's provider choice and its error convention (the engines' own errors:
// tests/platform).
#include "mirel_SbF/Connector.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace mirel_base {
namespace {

// A registered provider is found without regard to case; what it cannot answer fails with
// the connector's source.
TEST(Connector, RegisteredProvidersAndTheirFailures) {
  std::string seen;
  RegisterProvider("Fake", [&](const std::string& sql, const std::string& db, const std::string& conn) {
    seen = sql + "|" + db + "|" + conn;
    if (sql == "throw") throw std::runtime_error("socket closed");
    std::vector<std::vector<mirel_SbF::Variant>> rows{{int32_t{1}}};
    return sql == "null" ? nullptr : std::make_shared<mirel_SbF::MemoryRecordset>(std::vector<std::string>{"x"}, rows);
  });
  auto rs = Connector().ExecuteQuery("select 1", "specs", "provider=FAKE;Anything=1");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(seen, "select 1|specs|provider=FAKE;Anything=1");
  struct Case { std::string sql, conn; const char* text; } cases[] = {
      {"select 1", "Provider=Nowhere", "Nowhere"},
      {"throw", "Provider=Fake", "socket closed"},
      {"null", "Provider=Fake", "no record set"},
  };
  for (const auto& c : cases)
    EXPECT_TRUE(mirel_test::RaisesHolding([&] { Connector().ExecuteQuery(c.sql, "specs", c.conn); },
                                          mirel_SbF::kErrUnspecified, kConnectorSource, c.text));
}

// The data version a host tags its answers with: the same while the files are, another one
// at once when a file is renamed over or written in place (or goes); none where the engine
// cannot tell.
TEST(Connector, DataVersionFollowsTheFiles) {
  namespace fs = std::filesystem;
  const std::string folder = mirel_test::MakeTempFolder("data_version");
  for (const char* file : {"/specs.db", "/prj.db"}) fs::copy_file(mirel_test::SampleFolder() + file, folder + file);
  const std::string conn = "Provider=SQLite;Data Source=" + folder;
  const std::vector<std::string> both = {"specs", "prj"};
  const std::string first = DataVersion(conn, both);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(DataVersion(conn + ";Cache MB=0", both), first);
  EXPECT_NE(DataVersion(conn, {"specs"}), first);
  fs::copy_file(folder + "/prj.db", folder + "/prj.new");
  fs::rename(folder + "/prj.new", folder + "/prj.db");
  const std::string renamed = DataVersion(conn, both);
  EXPECT_NE(renamed, first);
  mirel_test::ExecSql(folder + "/specs.db", "create table written (x)");
  const std::string written = DataVersion(conn, both);
  EXPECT_NE(written, renamed);
  fs::remove(folder + "/specs.db");
  EXPECT_NE(DataVersion(conn, both), written);
  EXPECT_EQ(DataVersion("Provider=ODBC;Driver={PostgreSQL Unicode};Server=db1", both), "");
  RegisterProvider("Versionless", [](const std::string&, const std::string&, const std::string&) {
    return std::shared_ptr<mirel_SbF::Recordset>();
  });
  EXPECT_EQ(DataVersion("Provider=Versionless;Data Source=" + folder, both), "");
}

// What the embedded engine keeps, as a host's metrics read it: a screen stores entries and
// misses, the same screen again finds them.
TEST(Connector, CacheCountsGrowWithUse) {
  const std::string folder = mirel_test::MakeTempFolder("cache_counts");
  for (const char* file : {"/specs.db", "/prj.db"})
    std::filesystem::copy_file(mirel_test::SampleFolder() + file, folder + file);
  auto screen = [&] {
    mirel_SbF::Search search;
    search.SetDatabaseInfo("Provider=SQLite;Data Source=" + folder, "specs", "prj", 1, "USD");
    search.AddSelection("7401", "0", "", "EU");
    search.DoSearch();
  };
  const CacheCounts before = EngineCacheCounts();
  screen();
  const CacheCounts once = EngineCacheCounts();
  EXPECT_GT(once.loads, before.loads);
  EXPECT_GT(once.misses, before.misses);
  EXPECT_GT(once.entries, before.entries);
  EXPECT_GT(once.bytes, before.bytes);
  screen();
  const CacheCounts twice = EngineCacheCounts();
  EXPECT_GT(twice.hits, once.hits);
  EXPECT_EQ(twice.loads, once.loads);
  EXPECT_GE(twice.evictions, 0);
}

}  // namespace
}  // namespace mirel_base
