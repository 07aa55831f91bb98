#include "sql/TsqlRewrite.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "runtime/Unicode.h"

using mirel_platform::Dialect;
using mirel_platform::RewriteTsql;

// The SQLite forms are run by every test on the sample. PostgreSQL keeps LEFT and takes a
// quoted name's case as written, so quoted names go in the lower case that its unquoted names
// fold to (and that SQL Server would not tell apart).
TEST(TsqlRewrite, RewritesTheLibraryTextsForPostgreSql) {
  struct Case { std::string in, out; };
  const Case cases[] = {
      {"select distinct min(cast(a.data_value as float)) as \"Minimum\", '  '+a.[Data_Value] from prj..T a "
       "where LEFT(a.data_value, 3) <> N'(O)' order by \"Minimum\"",
       "select distinct min(cast(a.data_value as double precision)) as \"minimum\", '  '||a.\"data_value\" from prj.T a "
       "where LEFT(a.data_value, 3) <> '(O)' order by \"minimum\""},
      {"select N'Général ''x''' as T from t", "select 'Général ''x''' as T from t"},
  };
  for (const Case& c : cases) EXPECT_EQ(RewriteTsql(c.in, Dialect::PostgreSQL), c.out);
}

// Constructs outside the library's texts, and what the engines would read differently from
// SQL Server, are refused on both targets naming the construct, with its position (1-based)
// where one is given.
TEST(TsqlRewrite, RefusesWhatTheEnginesReadDifferently) {
  struct Case { std::string sql; const char* named; size_t position; };
  const Case cases[] = {
      {"select a from t -- x", "comment", 0},    {"select a /* x */ from t", "comment", 0},
      {"select a from t; select 1", "\";\"", 0}, {"select 'abc from t", "unterminated", 0},
      {"select @x", "@x", 0},                    {"select a from #t", "#t", 0},
      {"select foo(a) from t", "foo", 0},        {"insert into t values (1)", "select", 0},
      {"select a from t union select b", "union", 0}, {"select top 1 a from t", "top", 0},
      {"select a + 1 from t", "+", 0},           {"select a || b from t", "|", 0},
      {"select a from t where a ? 1", "?", 0},   {"select [a from t", "unterminated", 0},
      {"select float(1)", "float", 0},           {"select cast(a as int) from t", "int", 0},
      // Adjacent literals: PostgreSQL joins them across a line break; 'a'N'b' is not 'a''b'.
      {"select a from t where a = N'a'N'b'", "after another string literal", 31},
      {"select a from t where a = 'a'\r\n'b'", "after another string literal", 32},
      // Other dialects' literals, casts, operators and quoting.
      {"select a from t where a = E'\\x27'", "typed literal", 27},
      {"select a::text from t", "\":\"", 9},
      {"select a from t where a != 1", "\"!\"", 25},
      {"select a from t where a = -1 and b =-1", "\"=-\"", 36},
      // Numbers: one form only, the one the library's checks accept.
      {"select a from t where a >= .5", "starts with a point", 28},
      {"select a from t where a >= 5.", "malformed number", 28},
      {"select a from t where a >= 0x41", "malformed number", 28},
      // Names every engine keeps whole and folds alike; blanks every engine reads as blanks.
      {"select [caf\xC3\xA9] from t", "outside ASCII", 8},
      {"select caf\xC3\xA9 from t", "0xC3", 11},
      {"select \"" + std::string(64, 'a') + "\" from t", "longer than 63", 8},
      {"select a\ffrom t", "0x0C", 9},
      // A continuation line in SQL Server drops the backslash and the line break.
      {"select a from t where a = N'x\\\ny'", "backslash before a line break", 30},
      // Text that is not UTF-8 never reaches an engine, however it would decode there.
      {"select a from t where a = N'x\xC0\xA7 or 1=1 --'", "not well-formed UTF-8", 30},
      {std::string("select a from t where a = N'x\0'", 32), "NUL", 30},
  };
  for (const Case& c : cases) {
    for (Dialect target : {Dialect::SQLite, Dialect::PostgreSQL}) {
      try {
        RewriteTsql(c.sql, target);
        ADD_FAILURE() << "accepted: " << c.sql;
      } catch (const mirel_SbF::Error& e) {
        EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040E14)) << c.sql;
        EXPECT_EQ(e.Source(), "mirel_base.Connector");
        EXPECT_NE(e.Description().find(c.named), std::string::npos) << c.sql << ": " << e.Description();
        const std::string at = c.position ? " " + std::to_string(c.position) + " " : "";
        EXPECT_NE(e.Description().find("position" + at), std::string::npos) << c.sql << ": " << e.Description();
        EXPECT_TRUE(mirel_platform::IsCleanUtf8(e.Description())) << e.Description();
      }
    }
  }
  // Literal contents are carried over byte for byte, backslashes and non-ASCII included.
  EXPECT_EQ(RewriteTsql("select a from t where a = N'x\\'' or ''1''=''1' and b >= -2.5", Dialect::PostgreSQL),
            "select a from t where a = 'x\\'' or ''1''=''1' and b >= -2.5");
  EXPECT_EQ(RewriteTsql("select a from t where a = N'\xE6\x97\xA5\xEF\xBC\x87'", Dialect::SQLite),
            "select a from t where a = '\xE6\x97\xA5\xEF\xBC\x87'");
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
