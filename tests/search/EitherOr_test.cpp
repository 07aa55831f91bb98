// Either-or criteria in the saved-state text and at the door.
#include <gtest/gtest.h>

#include "mirel_SbF/Search.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;

TEST(EitherOr, MarkingsTravelAheadOfTheSelections) {
  Search search;
  search.AddSelection("7401", "0", "", "EU");
  search.EitherOr("7401", "0", true);
  search.EitherOr("1101", "1", true);
  search.EitherOr("1101", "1", true);  // once only
  search.AddSelection("7401", "0", "", "JP");
  const std::string state = search.CurrentState();
  EXPECT_EQ(state, "either-or~7401~0~~~~either-or~1101~1~~~~2~7401~0~~EU~~2~7401~0~~JP~");

  Search restored;
  restored.EitherOr("9", "0", true);  // replaced by the text's markings
  restored.CurrentState(state);
  EXPECT_EQ(restored.CurrentState(), state);
  EXPECT_TRUE(restored.EitherOr("1101", "1"));
  EXPECT_FALSE(restored.EitherOr("9", "0"));

  // Unmarked, the text is as it always was.
  search.EitherOr("7401", "0", false);
  search.EitherOr("1101", "1", false);
  EXPECT_EQ(search.CurrentState(), "2~7401~0~~EU~~2~7401~0~~JP~");
}

// A group this library does not know (as the markings are to an older one) stops the reading
// before any selection is restored, rather than being read as a value selection.
TEST(EitherOr, UnknownGroupsAndBadCriteriaAreRefused) {
  Search search;
  EXPECT_TRUE(Raises([&] { search.CurrentState("either-xor~7401~0~~~~2~7401~0~~EU~"); }, 13,
                     "mirel_SbF.ParseState", "Type mismatch"));
  EXPECT_EQ(search.CurrentState(), "");
  EXPECT_TRUE(Raises([&] { search.CurrentState("either-or~74 01~0~~~~2~7401~0~~EU~"); }, 0x80040201,
                     "mirel_SbF.ParseState", "Schema ID is not a whole number: \"74 01\""));
  EXPECT_EQ(search.CurrentState(), "");
  EXPECT_TRUE(Raises([&] { search.EitherOr("7401", "0 OR 1=1", true); }, 0x80040201, "mirel_SbF.EitherOr",
                     "Schema location is not a whole number: \"0 OR 1=1\""));
  EXPECT_TRUE(Raises([&] { search.EitherOr("74\xC0\xAF", "0", true); }, 0x80040201, "mirel_SbF.EitherOr",
                     "Invalid text: not well-formed UTF-8, or holds a NUL character"));
  EXPECT_FALSE(search.EitherOr("7401", "0"));
}

}  // namespace
}  // namespace mirel_SbF
