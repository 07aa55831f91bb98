// The connector's provider choice and its error convention.
#include "mirel_SbF/Connector.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "mirel_SbF/Error.h"
#include "support/SampleData.h"

namespace mirel_base {
namespace {

using mirel_SbF::Error;

Error ErrorOf(const std::string& conn) {
  try {
    Connector().ExecuteQuery("select 1 as x", "specs", conn);
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "", "no error");
}

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
  struct Case {
    std::string conn;
    int32_t number;
    const char* text;
  } cases[] = {
      {"Provider=Nowhere", mirel_SbF::kErrUnspecified, "Nowhere"},
      {"Provider=Throwing", mirel_SbF::kErrUnspecified, "socket closed"},
      {"Provider=Null", mirel_SbF::kErrUnspecified, "no record set"},
      {"Data Source=/nonexistent-folder-for-tests", mirel_SbF::kErrUnspecified, "specs"},
      {"Provider=SQLite;Data Source=" + mirel_test::MakeTempFolder("sbf-empty"),
       mirel_SbF::kErrUnspecified, "specs"},
  };
  for (const auto& c : cases) {
    Error e = ErrorOf(c.conn);
    EXPECT_EQ(e.Number(), c.number) << c.conn;
    EXPECT_EQ(e.Source(), kConnectorSource) << c.conn;
    EXPECT_NE(e.Description().find(c.text), std::string::npos) << e.Description();
  }
}

TEST(Connector, BadSqlOnTheSampleIsReportedAsADO) {
  try {
    Connector().ExecuteQuery("select nothing_here from equipment", "specs",
                             mirel_test::SampleConnection());
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), mirel_SbF::kErrBadSql);
    EXPECT_EQ(e.Source(), kConnectorSource);
    EXPECT_NE(e.Description().find("nothing_here"), std::string::npos) << e.Description();
  }
}

}  // namespace
}  // namespace mirel_base
