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

TEST(Results, ControlKindFollowsTheExactTextMinmax) {
  Results row;
  EXPECT_FALSE(row.IsMinMax());
  EXPECT_FALSE(row.IsListBox());
  struct Case {
    const char* type;
    bool minMax;
  } cases[] = {{"minmax", true}, {"MinMax", false}, {"NotAMinMax", false}, {"", false},
               {"minmax ", false}, {"minmax", true}};
  for (const auto& c : cases) {
    row.ControlType(c.type);
    EXPECT_EQ(row.IsMinMax(), c.minMax) << c.type;
    EXPECT_EQ(row.IsListBox(), !c.minMax) << c.type;
  }
  row.MultiSelectStyle(2);
  row.ControlType("x");
  EXPECT_EQ(row.MultiSelectStyle(), 2);
  EXPECT_FALSE(row.IsMinMax());
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
  struct Case {
    std::function<void()> call;
    int32_t number;
  } cases[] = {
      {[&] { row.Item(); }, kErrObject},
      {[&] { row.Item(0); }, 9},
      {[&] { row.Item(3); }, 9},
      {[&] { row.Item("7"); }, 5},
      {[&] { row.Add(Value("x"), "1"); }, 457},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no error for " << c.number;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number);
      EXPECT_EQ(e.Source(), "mirel_SbF");
      if (c.number == kErrObject) {
        EXPECT_EQ(e.Description(), "Missing Item Index");
      }
    }
  }
  EXPECT_EQ(row.Count(), 2);
  EXPECT_EQ(row.Item("1")->FullText(), "b");
}

// Keys are compared without regard to case in every script, in the rows of a Search and
// in the values of a row alike; letters that differ in more than case stay apart.
int32_t ErrorNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    EXPECT_EQ(e.Source(), "mirel_SbF");
    return e.Number();
  }
  return 0;
}

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

TEST(Info, StoresTextsUnchanged) {
  Info info;
  EXPECT_EQ(info.FullText(), "");
  EXPECT_FALSE(info.IsSelected());
  info.DataValue("  7 ");
  EXPECT_EQ(info.DataValue(), "  7 ");
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
