// Results rows, Info values and the selection record.
#include "mirel_SbF/Results.h"

#include <gtest/gtest.h>

#include "mirel_SbF/Search.h"
#include "model/SbFUserSelection.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;

std::shared_ptr<Info> Value(const std::string& text) {
  auto info = std::make_shared<Info>();
  info->FullText(text);
  return info;
}

TEST(Results, ControlKindFollowsTheExactTextMinmax) {
  Results row;
  EXPECT_FALSE(row.IsMinMax() || row.IsListBox());
  for (const char* type : {"minmax", "MinMax", "NotAMinMax", "", "minmax ", "minmax"}) {
    row.ControlType(type);
    EXPECT_EQ(row.IsMinMax(), std::string(type) == "minmax") << type;
    EXPECT_EQ(row.IsListBox(), !row.IsMinMax()) << type;
  }
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

  const std::string source = "mirel_SbF";
  EXPECT_TRUE(Raises([&] { row.Item(0); }, 9, source, "Subscript out of range"));
  EXPECT_TRUE(Raises([&] { row.Item(4); }, 9, source, "Subscript out of range"));
  EXPECT_TRUE(Raises([&] { row.Item("7"); }, 5, source, "Invalid procedure call or argument"));
  EXPECT_TRUE(Raises([&] { row.Item(); }, kErrObject, source, "Missing Item Index"));
  EXPECT_TRUE(Raises([&] { row.Add(Value("x"), "1"); }, 457, source,
                     "This key is already associated with an element of this collection"));
  EXPECT_EQ(row.Count(), 3);  // a failed Add leaves the row as it was
  EXPECT_EQ(row.Item("1")->FullText(), "b");
}

// Keys are compared without regard to case in every script, in the rows of a Search and
// in the values of a row alike; letters that differ in more than case stay apart.
TEST(CollectionKeys, CaseIsIgnoredInEveryScript) {
  struct Case { const char *added, *looked_up; bool found; } cases[] = {
      {"Élan", "élan", true},      {"ΈΛΕΓΧΟΣ", "έλεγχος", true}, {"МОЩНОСТЬ", "мощность", true},
      {"STRASSE", "straße", true}, {"Key_1", "kEY_1", true},     {"elan", "élan", false},
      {"I", "ı", false},
  };
  for (const auto& c : cases) {
    Results row;
    row.Add(Value("v"), c.added);
    Search search;
    auto added = std::make_shared<Results>();
    search.Add(added, c.added);
    if (c.found) {
      EXPECT_EQ(row.Item(c.looked_up)->FullText(), "v") << c.added;
      EXPECT_EQ(search.Item(c.looked_up), added) << c.added;
      EXPECT_THROW(row.Add(Value("w"), c.looked_up), Error) << c.added;
    } else {
      EXPECT_THROW(row.Item(c.looked_up), Error) << c.added;
      EXPECT_THROW(search.Item(c.looked_up), Error) << c.added;
      row.Add(Value("w"), c.looked_up);
      EXPECT_EQ(row.Item(c.looked_up)->FullText(), "w") << c.added;
    }
  }
}

TEST(SbFUserSelection, ControlTypes) {
  SbFUserSelection fresh;
  EXPECT_EQ(fresh.ControlType(), 0);
  EXPECT_FALSE(fresh.IsControl_MinMax() || fresh.IsControl_Value());
  for (const auto& [set, read] : std::vector<std::pair<int16_t, int16_t>>{{1, 1}, {0, 2}, {2, 2}, {7, 2}, {-1, 2}}) {
    SbFUserSelection s;
    s.SetControlType(set);
    EXPECT_EQ(s.ControlType(), read) << set;
    EXPECT_EQ(s.IsControl_MinMax(), read == 1);
    EXPECT_EQ(s.IsControl_Value(), read == 2);
  }
}

}  // namespace
}  // namespace mirel_SbF
