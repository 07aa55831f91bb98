// Results rows and Info values (the collection errors: Search_test).
#include "mirel_SbF/Results.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Search.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

std::shared_ptr<Info> Value(const std::string& text) {
  auto info = std::make_shared<Info>();
  info->FullText(text);
  return info;
}

TEST(Results, ValuesByPositionKeyAndEnumeration) {
  Results row;
  row.Add(Value("a"), "0");
  row.Add(Value("b"), "1");
  row.Add(Value("c"), "2");
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(row.Item(i), row.Item(std::to_string(i - 1)));
  std::string walked, enumerated;
  for (const auto& v : row) walked += v->FullText();
  auto e = row.NewEnum();
  for (std::shared_ptr<Info> v; e->Next(v);) enumerated += v->FullText();
  EXPECT_EQ(walked + enumerated, "abcabc");
  EXPECT_TRUE(mirel_test::Raises([&] { row.Item(4); }, 9, "mirel_SbF", "Subscript out of range"));
  EXPECT_THROW(row.Add(Value("x"), "1"), Error);
  EXPECT_EQ(row.Count(), 3);  // a failed Add leaves the row as it was
  EXPECT_EQ(row.Item("1")->FullText(), "b");
}

// Keys are compared without regard to case in every script; letters that differ in more
// than case stay apart.
TEST(CollectionKeys, CaseIsIgnoredInEveryScript) {
  struct Case { const char *added, *looked_up; bool found; } cases[] = {
      {"Élan", "élan", true},      {"ΈΛΕΓΧΟΣ", "έλεγχος", true}, {"МОЩНОСТЬ", "мощность", true},
      {"STRASSE", "straße", true}, {"Key_1", "kEY_1", true},     {"elan", "élan", false},
      {"I", "ı", false},
  };
  for (const auto& c : cases) {
    Results row;
    row.Add(Value("v"), c.added);
    if (c.found) {
      EXPECT_EQ(row.Item(c.looked_up)->FullText(), "v") << c.added;
      EXPECT_THROW(row.Add(Value("w"), c.looked_up), Error) << c.added;
    } else {
      EXPECT_THROW(row.Item(c.looked_up), Error) << c.added;
      row.Add(Value("w"), c.looked_up);
      EXPECT_EQ(row.Item(c.looked_up)->FullText(), "w") << c.added;
    }
  }
}

}  // namespace
}  // namespace mirel_SbF
