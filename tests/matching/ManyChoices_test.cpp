// Any number of choices: a hundred selections (each one more nested level of the text) give
// the answer of the few distinct choices among them, on every engine.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

// The vehicle count, the number of screen rows and the first five vehicles, as one text.
std::string Ask(int repeats) {
  Search s;
  s.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 1, "USD");
  for (int i = 0; i < repeats; ++i) {
    s.AddSelection("7401", "0", "", "EU");
    s.AddMinMax("135", "0", "", "70", "200");
    s.AddMax("1104", "0", "", "3500");
  }
  std::string answer = std::to_string(s.GetNumberOfMatchingVehicles()) + " vehicles, ";
  s.DoSearch(false, "", true);
  answer += std::to_string(s.Count()) + " rows:";
  auto rs = s.GetMatchingVehicles(false, true, "name");
  for (int i = 0; i < 5 && !rs->EndOfFile(); ++i, rs->MoveNext()) answer += " " + CStr(rs->Fields("name").Value());
  return answer;
}

TEST(ManyChoices, AHundredNestedChoicesGiveTheAnswerOfTheirDistinctChoices) {
  const std::string few = Ask(1);
  ASSERT_NE(few.rfind("0 vehicles", 0), 0u) << few;
  for (int repeats : {4, 34}) EXPECT_EQ(Ask(repeats), few) << repeats;  // 12 and 102 selections
}

}  // namespace
}  // namespace mirel_SbF
