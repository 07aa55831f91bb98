#include "platform/ConnectionString.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "support/Raises.h"

using mirel_platform::ParseConnectionString;

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
