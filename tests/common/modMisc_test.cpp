// The text helpers, and the guards on text that goes into SQL (the list helpers: the
// WHERE-clause and sort-list texts in tests/matching).
#include "common/modMisc.h"

#include <gtest/gtest.h>

#include "sql/SqlText.h"

namespace mirel_SbF {
namespace {

// The first letter in upper case by the simple mapping of every script, for the languages
// that write it so.
TEST(Capitalize, ByLanguage) {
  struct Case { const char* text; int32_t language; const char* expected; } cases[] = {
      {"  air conditioning  ", 1, "Air conditioning"}, {"hubraum", 3, "hubraum"},  {"   ", 5, ""},
      {"état", 5, "État"},  {"ısıtmalı koltuk", 17, "Isıtmalı koltuk"},  {"έλεγχος", 11, "Έλεγχος"},
      {"\xFF" "abc", 1, "\xFF" "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(Capitalize(c.text, c.language), c.expected) << c.text;
}

// The number forms (the bounds the rewrite reads alike: tests/matching).
TEST(SqlText, Forms) {
  struct Case { const char* text; bool whole, decimal, identifier; } cases[] = {
      {"7401", true, true, false},  {"-1", true, true, false},      {"2.5", false, true, false},
      {"-", false, false, false},   {"", false, false, false},      {"1,000", false, false, false},
      {"1 ", false, false, false},  {"col_1", false, false, true},  {"_x", false, false, true},
      {"1col", false, false, false}, {"a.b", false, false, false},  {"1.2.3", false, false, false},
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
