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
  row.Add(Value("a"), "k0");
  row.Add(Value("b"), "k1");
  row.Add(Value("c"), "k2");
  // Keys are compared without regard to case.
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(row.Item(i), row.Item("K" + std::to_string(i - 1)));
  std::string walked;  // the enumerator: the range ladders' test
  for (const auto& v : row) walked += v->FullText();
  EXPECT_EQ(walked, "abc");
  EXPECT_TRUE(mirel_test::Raises([&] { row.Item(4); }, 9, "mirel_SbF", "Subscript out of range"));
  EXPECT_THROW(row.Add(Value("x"), "K1"), Error);
  EXPECT_EQ(row.Count(), 3);  // a failed Add leaves the row as it was
  EXPECT_EQ(row.Item("k1")->FullText(), "b");
}

}  // namespace
}  // namespace mirel_SbF
