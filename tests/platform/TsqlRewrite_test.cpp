#include "platform/TsqlRewrite.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Error.h"
#include "platform/Unicode.h"

using mirel_platform::Dialect;
using mirel_platform::RewriteTsql;

TEST(TsqlRewrite, RewritesTheLibraryTextsForSqlite) {
  struct Case { std::string in, out; std::vector<std::string> dbs; };
  const Case cases[] = {
      {"select distinct eq0.schema_id, '      '+eq0.data_value as data_value from equipment eq0 inner join prj..search_by_features sbf on (sbf.criterion_value=N'' or sbf.category = N'Comfort') inner join prj..x s on (s.a = 4) order by sbf.row_id, [data_value];",
       "select distinct eq0.schema_id, '      '||eq0.data_value as data_value from equipment eq0 inner join prj.search_by_features sbf on (sbf.criterion_value='' or sbf.category = 'Comfort') inner join prj.x s on (s.a = 4) order by sbf.row_id, \"data_value\";",
       {"prj"}},
      {"select distinct min(cast(eq0.data_value as float)) as \"Minimum\", CAST(sbf.row_id AS FLOAT) as \"Row_Id\" from t group by sbf.row_id order by \"Row_Id\"; ",
       "select distinct min(cast(eq0.data_value as real)) as \"Minimum\", CAST(sbf.row_id AS real) as \"Row_Id\" from t group by sbf.row_id order by \"Row_Id\"; ", {}},
      {"select distinct eq.vehicle_id from equipment eq WHERE eq.vehicle_id in (select vehicle_id from equipment where (LEFT(data_value, 3) <> N'(O)') AND (data_value = N'S')AND Location = 0 ) ;",
       "select distinct eq.vehicle_id from equipment eq WHERE eq.vehicle_id in (select vehicle_id from equipment where (substr(data_value, 1, 3) <> '(O)') AND (data_value = 'S')AND Location = 0 ) ;", {}},
      {"Select Code from currency_symbol where (code IN (N'GBP',N'O''Brien',N'x; drop table t'));",
       "Select Code from currency_symbol where (code IN ('GBP','O''Brien','x; drop table t'));", {}},
      {"select a from B..t join b..u on (1=1)", "select a from B.t join b.u on (1=1)", {"B"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> dbs{"stale"};
    EXPECT_EQ(RewriteTsql(c.in, Dialect::SQLite, &dbs), c.out);
    EXPECT_EQ(dbs, c.dbs) << c.in;
  }
}

// PostgreSQL keeps LEFT and takes a quoted name's case as written, so quoted names go in the
// lower case that its unquoted names fold to (and that SQL Server would not tell apart).
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

TEST(TsqlRewrite, RefusesUnknownConstructsNamingThem) {
  struct Case { const char* sql; const char* named; };
  const Case cases[] = {
      {"select a from t -- x", "comment"},       {"select a /* x */ from t", "comment"},
      {"select a from t; select 1", "\";\""},    {"select 'abc from t", "unterminated"},
      {"select [a from t", "unterminated"},      {"select @x", "@x"},
      {"select a from #t", "#t"},                {"select foo(a) from t", "foo"},
      {"insert into t values (1)", "select"},    {"select a from t union select b", "union"},
      {"select top 1 a from t", "top"},          {"select a + 1 from t", "+"},
      {"select a from t where a ? 1", "?"},      {"select a || b from t", "|"},
      {"select float(1)", "float"},              {"select cast(a as int) from t", "int"},
  };
  for (const Case& c : cases) {
    try {
      RewriteTsql(c.sql, Dialect::SQLite);
      ADD_FAILURE() << "accepted: " << c.sql;
    } catch (const mirel_SbF::Error& e) {
      EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80040E14)) << c.sql;
      EXPECT_EQ(e.Source(), "mirel_base.Connector");
      EXPECT_NE(e.Description().find(c.named), std::string::npos) << e.Description();
      EXPECT_NE(e.Description().find("position"), std::string::npos) << e.Description();
    }
  }
}

// What the engines would read differently from SQL Server is refused on both targets,
// with the position of the construct (1-based).
TEST(TsqlRewrite, RefusesWhatTheEnginesReadDifferently) {
  struct Case { std::string sql; const char* named; size_t position; };
  const Case cases[] = {
      // Adjacent literals: PostgreSQL joins them across a line break; 'a'N'b' is not 'a''b'.
      {"select a from t where a = N'a'N'b'", "after another string literal", 31},
      {"select a from t where a = 'a' 'b'", "after another string literal", 31},
      {"select a from t where a = N'a'\n  N'b'", "after another string literal", 34},
      {"select a from t where a = 'a'\r\n'b'", "after another string literal", 32},
      // Other dialects' literals, casts, operators and quoting.
      {"select a from t where a = E'\\x27'", "typed literal", 27},
      {"select a from t where a = U&'\\0027'", "\"&\"", 28},
      {"select a from t where a = $$x$$", "\"$\"", 27},
      {"select a::text from t", "\":\"", 9},
      {"select a from t where a != 1", "\"!\"", 25},
      {"select a ^ 1 from t", "\"^\"", 10},
      {"select a from t where a ~ 'x'", "\"~\"", 25},
      {"select a from t where a @ 1", "@", 25},
      {"select a from t where a = \\'x'", "\"\\\"", 27},
      {"select a from t where a = -1 and b =-1", "\"=-\"", 36},
      {"select a from t where a ->1", "\"->\"", 25},
      {"select a from t where a *= b", "\"*=\"", 25},
      // Numbers: one form only, the one the library's checks accept.
      {"select a from t where a >= .5", "starts with a point", 28},
      {"select a from t where a >= 5.", "malformed number", 28},
      {"select a from t where a >= 1e5", "malformed number", 28},
      {"select a from t where a >= 0x41", "malformed number", 28},
      {"select a from t where a >= 5'x'", "malformed number", 28},
      // Names every engine keeps whole and folds alike; blanks every engine reads as blanks.
      {"select \"caf\xC3\xA9\" from t", "outside ASCII", 8},
      {"select [caf\xC3\xA9] from t", "outside ASCII", 8},
      {"select caf\xC3\xA9 from t", "0xC3", 11},
      {"select " + std::string(64, 'a') + " from t", "longer than 63", 8},
      {"select \"" + std::string(64, 'a') + "\" from t", "longer than 63", 8},
      {"select a\ffrom t", "0x0C", 9},
      {"select a\vfrom t", "0x0B", 9},
      // A continuation line in SQL Server drops the backslash and the line break.
      {"select a from t where a = N'x\\\ny'", "backslash before a line break", 30},
      // Text that is not UTF-8 never reaches an engine, however it would decode there.
      {"select a from t where a = N'x\xC0\xA7 or 1=1 --'", "not well-formed UTF-8", 30},
      {"select a from t where a = N'\xED\xA0\x80'", "not well-formed UTF-8", 29},
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
        EXPECT_NE(e.Description().find("position " + std::to_string(c.position) + " "), std::string::npos)
            << c.sql << ": " << e.Description();
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
