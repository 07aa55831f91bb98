// The saved-state text: written and read character for character, either-or markings
// among the selections.
#include <gtest/gtest.h>

#include <map>

#include "mirel_SbF/Search.h"
#include "support/Raises.h"

namespace mirel_SbF {
namespace {

// Every write replaces the selections held before; an unreadable text keeps the groups
// before the fault (error 0: none).
TEST(CurrentState, TextsReadBackOrStopAtTheFault) {
  struct Case { const char* written; const char* readBack; int32_t error; } cases[] = {
      {"", "", 0},
      {"1~135~0~~100~250~2~740~0~~D~", "1~135~0~~100~250~2~740~0~~D~", 0},
      {"2~740~0~V~D~Z", "2~740~0~V~D~", 0},
      {"2~740~0~~D", "", 9},
      {"x~740~0~~D~", "", 13},
      {"70000~740~0~~D~", "", 6},
      {"2~740~0~~D~~1~135~0~~100~250~1~9", "2~740~0~~D~~1~135~0~~100~250", 9},
      // A group this library does not know (as the markings are to an older one) is no value
      // selection; a marking's item is checked as a selection's is.
      {"either-xor~7401~0~~~~2~7401~0~~EU~", "", 13},
      {"either-or~74 01~0~~~~2~7401~0~~EU~", "", kErrObject},
  };
  const std::map<int32_t, const char*> says = {{6, "Overflow"}, {9, "Subscript out of range"}, {13, "Type mismatch"},
                                               {kErrObject, "Schema ID is not a whole number: \"74 01\""}};
  for (const auto& c : cases) {
    Search search;
    search.AddSelection("999", "0", "", "old");
    if (c.error)
      EXPECT_TRUE(mirel_test::Raises([&] { search.CurrentState(c.written); }, c.error, "mirel_SbF.ParseState",
                                     says.at(c.error)))
          << c.written;
    else
      search.CurrentState(c.written);
    EXPECT_EQ(search.CurrentState(), c.readBack) << c.written;
  }
}

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

// What a text restored, read back as the object holds it: the choices in the text's order
// (a value's schema value and value, a range's bounds as written, "!!" and empty ones too),
// the marks in theirs; an added choice after them; nothing after the empty text.
TEST(CurrentState, ChoicesAndMarksReadBackAsRestored) {
  auto text = [](const Search& s) {
    std::string out;
    for (const auto& m : s.EitherOrMarks()) out += "mark " + m.schema + ":" + m.location + "\n";
    for (const auto& c : s.Choices())
      out += (c.range ? "range " : "value ") + c.schema + ":" + c.location + ":" + c.schemaValue + " [" + c.value + "] [" +
             c.min + "] [" + c.max + "]\n";
    return out;
  };
  Search search;
  search.CurrentState("either-or~7401~0~~~~either-or~1101~1~~~~2~7401~0~EU~EU~~1~135~0~~100~!!~3~740~0~~D~Z~1~136~1~~~4.5");
  search.AddMax("902", "0", "", "5000");
  EXPECT_EQ(text(search),
            "mark 7401:0\nmark 1101:1\n"
            "value 7401:0:EU [EU] [] []\nrange 135:0: [] [100] [!!]\nvalue 740:0: [D] [] []\n"
            "range 136:1: [] [] [4.5]\nrange 902:0: [] [!!] [5000]\n");
  search.CurrentState("");
  EXPECT_EQ(text(search), "");
  Search inactive(false);
  EXPECT_TRUE(mirel_test::Raises([&] { inactive.Choices(); }, 91, "mirel_SbF", "Object variable or With block variable not set"));
}

}  // namespace
}  // namespace mirel_SbF
