// The list and text helpers, and the guards on text that goes into SQL.
#include "common/modMisc.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/SqlText.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;

TEST(ConvertListToSQLClause, Lists) {
  struct Case { const char *list, *op, *conj, *expected; } cases[] = {
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
  const std::string convert = "mirel_SbF.ConvertListToSQLClause", prefix = "mirel_SbF.AddTablePrefixToCommaDelimitedList";
  struct Case { std::function<void()> call; const std::string& source; const char* description; } cases[] = {
      {[] { ConvertListToSQLClause("", "", "=", "OR"); }, convert, "Missing or empty column list"},
      {[] { ConvertListToSQLClause("", "a", "=", "OR"); }, convert, "Missing field (column) name"},
      {[] { AddTablePrefixToCommaDelimitedList("", ""); }, prefix, "Missing or empty column list"},
      {[] { AddTablePrefixToCommaDelimitedList("", "a"); }, prefix, "Missing table prefix"},
      {[] { AddTablePrefixToCommaDelimitedList("v", "name, price desc"); }, prefix,
       "Sort column is not a column name: \"price desc\""},
  };
  for (const auto& c : cases) EXPECT_TRUE(Raises(c.call, kErrObject, c.source, c.description));
  // A comma beyond position 32767 overflows the 16-bit position.
  const std::string list(32767, 'a');
  EXPECT_NO_THROW(ConvertListToSQLClause("f", list.substr(0, 32766) + ",b", "=", "OR"));
  EXPECT_TRUE(Raises([&] { ConvertListToSQLClause("f", list + ",b", "=", "OR"); }, 6, convert, "Overflow"));
}

TEST(TidyList, Lists) {
  struct Case { const char* list; bool quotes; const char* expected; } cases[] = {
      {" ,GBP , USD,,EUR, ", false, "GBP,USD,,EUR"}, {" ,GBP , USD,,EUR, ", true, "N'GBP',N'USD',N'',N'EUR'"},
      {",,,", false, ""},  {",,,", true, ""},  {"", true, ""},  {",", false, ""},
      {"A'B,C", true, "N'A''B',N'C'"},  {"a  ,  b", false, "a , b"},  {"GBP", true, "N'GBP'"},
  };
  for (const auto& c : cases) {
    std::string list = c.list;
    TidyList(list, ",", c.quotes);
    EXPECT_EQ(list, c.expected) << "[" << c.list << "] quotes " << c.quotes;
  }
}

// The first letter in upper case by the simple mapping of every script, for the languages
// that write it so.
TEST(Capitalize, ByLanguage) {
  struct Case { const char* text; int32_t language; const char* expected; } cases[] = {
      {"  air conditioning  ", 1, "Air conditioning"}, {"  air conditioning  ", 8, "air conditioning"},
      {"hubraum", 3, "hubraum"},  {"\tair", 1, "\tair"},  {"", 1, ""},  {"   ", 5, ""},  {"1.5 l", 1, "1.5 l"},
      {"état", 5, "État"},  {"ölpumpe", 1, "Ölpumpe"},  {"żuraw", 1, "Żuraw"},  {"мощность", 1, "Мощность"},
      {"ısıtmalı koltuk", 17, "Isıtmalı koltuk"},  {"έλεγχος", 11, "Έλεγχος"},  {"\xFF" "abc", 1, "\xFF" "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Capitalize(c.text, c.language), c.expected) << c.text;
}

TEST(SqlText, Forms) {
  struct Case { const char* text; bool whole, decimal, identifier; } cases[] = {
      {"7401", true, true, false},  {"-1", true, true, false},     {"2.5", false, true, false},
      {".5", false, false, false},  {"-", false, false, false},    {"", false, false, false},
      {"5.", false, false, false},  {"+5", false, false, false},   {"--5", false, false, false},
      {"-0.75", false, true, false}, {"-.5", false, false, false}, {"1,000", false, false, false},
      {"1e5", false, false, false}, {"1 ", false, false, false},   {"col_1", false, false, true},
      {"_x", false, false, true},   {"1col", false, false, false}, {"a.b", false, false, false},
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
