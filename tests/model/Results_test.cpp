// Results rows, Info values and the selection record.
#include "mirel_SbF/Results.h"

#include <gtest/gtest.h>

#include <functional>

#include "mirel_SbF/Error.h"
#include "mirel_SbF/Search.h"
#include "model/SbFUserSelection.h"

namespace mirel_SbF {
namespace {

std::shared_ptr<Info> Value(const std::string& text) {
  auto info = std::make_shared<Info>();
  info->FullText(text);
  return info;
}

int32_t ErrorNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    EXPECT_EQ(e.Source(), "mirel_SbF");
    return e.Number();
  }
  return 0;
}

TEST(Results, ControlKindFollowsTheExactTextMinmax) {
  Results row;
  EXPECT_FALSE(row.IsMinMax());
  EXPECT_FALSE(row.IsListBox());
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
  EXPECT_EQ(row.Count(), 3);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(row.Item(i), row.Item(std::to_string(i - 1)));
  std::string walked;
  for (const auto& v : row) walked += v->FullText();
  EXPECT_EQ(walked, "abc");
  auto e = row.NewEnum();
  std::shared_ptr<Info> v;
  std::string enumerated;
  while (e->Next(v)) enumerated += v->FullText();
  EXPECT_EQ(enumerated, "abc");
}

TEST(Results, BadIndexesAndKeysFail) {
  Results row;
  row.Add(Value("a"), "0");
  row.Add(Value("b"), "1");
  EXPECT_EQ(ErrorNumber([&] { row.Item(0); }), 9);
  EXPECT_EQ(ErrorNumber([&] { row.Item(3); }), 9);
  EXPECT_EQ(ErrorNumber([&] { row.Item("7"); }), 5);
  EXPECT_EQ(ErrorNumber([&] { row.Add(Value("x"), "1"); }), 457);
  EXPECT_EQ(row.Count(), 2);  // a failed Add leaves the row as it was
  EXPECT_EQ(row.Item("1")->FullText(), "b");
  try {
    row.Item();
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrObject);
    EXPECT_EQ(e.Source(), "mirel_SbF");
    EXPECT_EQ(e.Description(), "Missing Item Index");
  }
}

// Keys are compared without regard to case in every script, in the rows of a Search and
// in the values of a row alike; letters that differ in more than case stay apart.
TEST(CollectionKeys, CaseIsIgnoredInEveryScript) {
  struct Case {
    const char* added;
    const char* looked_up;
    bool found;
  } cases[] = {
      {"Élan", "élan", true},         {"ΈΛΕΓΧΟΣ", "έλεγχος", true}, {"МОЩНОСТЬ", "мощность", true},
      {"STRASSE", "straße", true},    {"Key_1", "kEY_1", true},     {"elan", "élan", false},
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
      EXPECT_EQ(ErrorNumber([&] { row.Add(Value("w"), c.looked_up); }), 457) << c.added;
      EXPECT_EQ(row.Count(), 1);
    } else {
      EXPECT_EQ(ErrorNumber([&] { row.Item(c.looked_up); }), 5) << c.added;
      EXPECT_EQ(ErrorNumber([&] { search.Item(c.looked_up); }), 5) << c.added;
      row.Add(Value("w"), c.looked_up);
      EXPECT_EQ(row.Item(c.looked_up)->FullText(), "w") << c.added;
    }
  }
}

TEST(SbFUserSelection, ControlTypes) {
  SbFUserSelection fresh;
  EXPECT_EQ(fresh.ControlType(), 0);
  EXPECT_FALSE(fresh.IsControl_MinMax());
  EXPECT_FALSE(fresh.IsControl_Value());
  struct Case {
    int16_t set;
    int16_t read;
  } cases[] = {{1, 1}, {0, 2}, {2, 2}, {7, 2}, {-1, 2}};
  for (const auto& c : cases) {
    SbFUserSelection s;
    s.SetControlType(c.set);
    EXPECT_EQ(s.ControlType(), c.read) << c.set;
    EXPECT_EQ(s.IsControl_MinMax(), c.read == 1);
    EXPECT_EQ(s.IsControl_Value(), c.read == 2);
  }
}

}  // namespace
}  // namespace mirel_SbF
