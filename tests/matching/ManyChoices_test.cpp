// Any number of choices: a hundred selections (each one more nested level of the text) give
// the answer of the few distinct choices among them, on every engine.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

struct Answer {
  int32_t count = 0;
  int32_t rows = 0;
  std::string firstVehicles;
};

Answer Ask(int repeats) {
  Search s;
  s.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
  for (int i = 0; i < repeats; ++i) {
    s.AddSelection("7401", "0", "", "EU");
    s.AddMinMax("135", "0", "", "70", "200");
    s.AddMax("1104", "0", "", "3500");
  }
  Answer a;
  a.count = s.GetNumberOfMatchingVehicles();
  s.DoSearch(false, "", true);
  a.rows = s.Count();
  auto rs = s.GetMatchingVehicles(false, true, "name");
  for (int i = 0; i < 5 && !rs->EndOfFile(); ++i, rs->MoveNext()) a.firstVehicles += CStr(rs->Fields("name").Value()) + ";";
  return a;
}

TEST(ManyChoices, AHundredNestedChoicesGiveTheAnswerOfTheirDistinctChoices) {
  const Answer few = Ask(1);
  ASSERT_GT(few.count, 0);
  for (int repeats : {4, 34}) {  // 12 and 102 selections
    const Answer many = Ask(repeats);
    EXPECT_EQ(many.count, few.count) << repeats;
    EXPECT_EQ(many.rows, few.rows) << repeats;
    EXPECT_EQ(many.firstVehicles, few.firstVehicles) << repeats;
  }
}

}  // namespace
}  // namespace mirel_SbF
