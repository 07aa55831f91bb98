// The list and text helpers, and the guards on text that goes into SQL.
#include "common/modMisc.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/SqlText.h"
#include "mirel_SbF/Error.h"

namespace mirel_SbF {
namespace {

TEST(ConvertListToSQLClause, Lists) {
  struct Case {
    const char* list;
    const char* op;
    const char* conj;
    const char* expected;
  } cases[] = {
      {"S", "=", "OR", "(data_value = N'S')"},
      {"a, b ,c", "=", "OR", "(data_value = N'a') OR (data_value = N'b') OR (data_value = N'c')"},
      {"7,9", "<>", "AND", "(data_value <> N'7') AND (data_value <> N'9')"},
      {"a,,", "=", "OR", "(data_value = N'a') OR (data_value = N'') OR (data_value = N'')"},
      {"   ", "=", "OR", "(data_value = N'')"},
      {"O'Brien", "=", "OR", "(data_value = N'O''Brien')"},
      {"\ta\t", "=", "OR", "(data_value = N'\ta\t')"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ConvertListToSQLClause("data_value", c.list, c.op, c.conj), c.expected) << c.list;
}

TEST(AddTablePrefixToCommaDelimitedList, Lists) {
  EXPECT_EQ(AddTablePrefixToCommaDelimitedList("v", "col1,col2 ,  col3"), "v.col1, v.col2, v.col3");
  EXPECT_EQ(AddTablePrefixToCommaDelimitedList("v", "  name "), "v.name");
  EXPECT_EQ(AddTablePrefixToCommaDelimitedList("v", "a,"), "v.a, v.");
  EXPECT_EQ(AddTablePrefixToCommaDelimitedList("v", " , "), "v., v.");
}

TEST(ListHelpers, ErrorsInOrder) {
  struct Case {
    std::function<void()> call;
    const char* source;
    const char* description;
  } cases[] = {
      {[] { ConvertListToSQLClause("", "", "=", "OR"); }, "mirel_SbF.ConvertListToSQLClause",
       "Missing or empty column list"},
      {[] { ConvertListToSQLClause("", "a", "=", "OR"); }, "mirel_SbF.ConvertListToSQLClause",
       "Missing field (column) name"},
      {[] { AddTablePrefixToCommaDelimitedList("", ""); },
       "mirel_SbF.AddTablePrefixToCommaDelimitedList", "Missing or empty column list"},
      {[] { AddTablePrefixToCommaDelimitedList("", "a"); },
       "mirel_SbF.AddTablePrefixToCommaDelimitedList", "Missing table prefix"},
      {[] { AddTablePrefixToCommaDelimitedList("v", "name, price desc"); },
       "mirel_SbF.AddTablePrefixToCommaDelimitedList",
       "Sort column is not a column name: \"price desc\""},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.description;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), kErrObject);
      EXPECT_EQ(e.Source(), c.source);
      EXPECT_EQ(e.Description(), c.description);
    }
  }
}

TEST(ListHelpers, CommaBeyondPosition32767Overflows) {
  std::string list(32767, 'a');
  EXPECT_NO_THROW(ConvertListToSQLClause("f", list.substr(0, 32766) + ",b", "=", "OR"));
  try {
    ConvertListToSQLClause("f", list + ",b", "=", "OR");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
    EXPECT_EQ(e.Source(), "mirel_SbF.ConvertListToSQLClause");
  }
}

TEST(TidyList, Lists) {
  struct Case {
    const char* list;
    bool quotes;
    const char* expected;
  } cases[] = {
      {" ,GBP , USD,,EUR, ", false, "GBP,USD,,EUR"},
      {" ,GBP , USD,,EUR, ", true, "N'GBP',N'USD',N'',N'EUR'"},
      {",,,", false, ""},
      {",,,", true, ""},
      {"", true, ""},
      {",", false, ""},
      {"A'B,C", true, "N'A''B',N'C'"},
      {"a  ,  b", false, "a , b"},
      {"GBP", true, "N'GBP'"},
  };
  for (const auto& c : cases) {
    std::string list = c.list;
    TidyList(list, ",", c.quotes);
    EXPECT_EQ(list, c.expected) << "[" << c.list << "] quotes " << c.quotes;
  }
}

TEST(Capitalize, ByLanguage) {
  struct Case {
    const char* text;
    int32_t language;
    const char* expected;
  } cases[] = {
      {"  air conditioning  ", 1, "Air conditioning"},
      {"  air conditioning  ", 8, "air conditioning"},
      {"hubraum", 3, "hubraum"},
      {"\tair", 1, "\tair"},
      {"", 1, ""},
      {"   ", 5, ""},
      {"état", 5, "État"},
      {"ölpumpe", 1, "Ölpumpe"},
      {"żuraw", 1, "Żuraw"},
      {"мощность", 1, "Мощность"},
      {"ısıtmalı koltuk", 17, "Isıtmalı koltuk"},
      {"έλεγχος", 11, "Έλεγχος"},
      {"1.5 l", 1, "1.5 l"},
  };
  for (const auto& c : cases) EXPECT_EQ(Capitalize(c.text, c.language), c.expected) << c.text;
}

TEST(SqlText, Forms) {
  struct Case {
    const char* text;
    bool whole;
    bool decimal;
    bool identifier;
  } cases[] = {
      {"7401", true, true, false}, {"-1", true, true, false},   {"2.5", false, true, false},
      {".5", false, false, false}, {"-", false, false, false},  {"", false, false, false},
      {"5.", false, false, false}, {"+5", false, false, false}, {"--5", false, false, false},
      {"-0.75", false, true, false}, {"-.5", false, false, false}, {"1,000", false, false, false},
      {"1e5", false, false, false}, {"1 ", false, false, false}, {"col_1", false, false, true},
      {"_x", false, false, true},  {"1col", false, false, false}, {"a.b", false, false, false},
      {"1.2.3", false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsWholeNumber(c.text), c.whole) << c.text;
    EXPECT_EQ(IsDecimalNumber(c.text), c.decimal) << c.text;
    EXPECT_EQ(IsIdentifier(c.text), c.identifier) << c.text;
  }
  EXPECT_EQ(DoubleQuotes("a'b''"), "a''b''''");
}

}  // namespace
}  // namespace mirel_SbF
