#include "sql/TsqlRewrite.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "mirel_SbF/Error.h"
#include "runtime/Unicode.h"
#include "support/Golden.h"

using mirel_platform::Dialect;
using mirel_platform::RewriteTsql;

// What each target engine makes of the library's constructs and of what it must refuse
// (tests/golden/sql/rewrite.txt): the rewritten text, or the refusal naming the construct and
// its position (1-based). The SQLite forms are run by every test on the sample; PostgreSQL keeps
// LEFT and takes a quoted name's case as written, so quoted names go in the lower case that its
// unquoted names fold to (and that SQL Server would not tell apart). Literal contents are
// carried over byte for byte, backslashes and non-ASCII included.
TEST(TsqlRewrite, RewritesOrRefusesOnEveryTarget) {
  auto line = [](std::string text) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\r", "\\r"}, {"\n", "\\n"}, {"\f", "\\f"}})
      for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, 1, to);
    return text;
  };
  EXPECT_TRUE(mirel_test::MatchesTranscript("sql/rewrite.txt", [&](const std::string& sql) {
    std::string out;
    for (const auto& [name, target] : {std::pair{"SQLite", Dialect::SQLite}, std::pair{"PostgreSQL", Dialect::PostgreSQL}}) {
      try {
        out += std::string(name) + ": " + line(RewriteTsql(sql, target)) + "\n";
      } catch (const mirel_SbF::Error& e) {
        EXPECT_TRUE(mirel_platform::IsCleanUtf8(e.Description())) << e.Description();
        char number[16];
        std::snprintf(number, sizeof number, "0x%08X", static_cast<uint32_t>(e.Number()));
        out += std::string(name) + " refuses: " + number + " " + e.Source() + ": " + line(e.Description()) + "\n";
      }
    }
    return out;
  }));
}

// The UTF-8 check the refusals above and every entry of the library rest on, and the
// conversions for the ODBC driver.
TEST(Unicode, CleanUtf8RefusesEveryIllFormedSequenceAndNul) {
  struct Case {
    const char* name;
    std::string text;
    bool clean;
  };
  const Case cases[] = {
      {"ascii", "Europe", true},           {"empty", "", true},
      {"two-byte", "\xC3\xA9lan", true},     {"four-byte", "\xF0\x9F\x9A\x97", true},
      {"overlong quote", "x\xC0\xA7", false}, {"overlong slash", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},  {"past U+10FFFF", "\xF4\x90\x80\x80", false},
      {"truncated", "\xE2\x82", false},       {"lone continuation", "\x80", false},
      {"0xFF", "\xFF", false},                {"NUL", std::string("a\0b", 3), false},
  };
  for (const Case& c : cases) EXPECT_EQ(mirel_platform::IsCleanUtf8(c.text), c.clean) << c.name;
}

TEST(Unicode, ConversionsRoundTripAndRefuseWhatTheyCannotCarry) {
  const std::string text = "\xC3\x89lan \xE2\x82\xAC \xF0\x9F\x9A\x97 '";
  const auto wide = mirel_platform::Utf8ToUtf16(text);
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, u"\u00C9lan \u20AC \U0001F697 '");
  EXPECT_EQ(mirel_platform::Utf16ToUtf8(*wide), text);
  // The overlong quote must never become a real quote on the way to a driver.
  EXPECT_FALSE(mirel_platform::Utf8ToUtf16("x\xC0\xA7"));
}
