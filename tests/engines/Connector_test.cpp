// The connector's provider choice and its error convention (the engines' own errors:
// tests/platform).
#include "mirel_SbF/Connector.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "mirel_SbF/Error.h"
#include "support/Raises.h"

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

}  // namespace
}  // namespace mirel_base
