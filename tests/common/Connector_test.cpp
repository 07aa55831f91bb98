// The connector's provider choice and its error convention.
#include "mirel_SbF/Connector.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "mirel_SbF/Error.h"
#include "support/Raises.h"
#include "support/SampleData.h"

namespace mirel_base {
namespace {

using mirel_test::RaisesHolding;

TEST(Connector, RegisteredProvidersAreFoundWithoutRegardToCase) {
  std::string seen;
  RegisterProvider("Fake", [&](const std::string& sql, const std::string& db, const std::string& conn) {
    seen = sql + "|" + db + "|" + conn;
    return std::make_shared<mirel_SbF::MemoryRecordset>(
        std::vector<std::string>{"x"}, std::vector<std::vector<mirel_SbF::Variant>>{{int32_t{1}}});
  });
  auto rs = Connector().ExecuteQuery("select 1", "specs", "provider=FAKE;Anything=1");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(seen, "select 1|specs|provider=FAKE;Anything=1");
}

TEST(Connector, FailuresCarryTheConnectorSource) {
  RegisterProvider("Throwing", [](const std::string&, const std::string&, const std::string&)
                                   -> std::shared_ptr<mirel_SbF::Recordset> {
    throw std::runtime_error("socket closed");
  });
  RegisterProvider("Null", [](const std::string&, const std::string&, const std::string&) {
    return std::shared_ptr<mirel_SbF::Recordset>();
  });
  struct Case { std::string conn; const char* text; } cases[] = {
      {"Provider=Nowhere", "Nowhere"},
      {"Provider=Throwing", "socket closed"},
      {"Provider=Null", "no record set"},
      {"Data Source=/nonexistent-folder-for-tests", "specs"},
      {"Provider=SQLite;Data Source=" + mirel_test::MakeTempFolder("sbf-empty"), "specs"},
  };
  for (const auto& c : cases)
    EXPECT_TRUE(RaisesHolding([&] { Connector().ExecuteQuery("select 1 as x", "specs", c.conn); },
                              mirel_SbF::kErrUnspecified, kConnectorSource, c.text));
}

}  // namespace
}  // namespace mirel_base
