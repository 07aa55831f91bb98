// The saved-state text: written and read character for character.
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
      {"3~740~0~~D~", "2~740~0~~D~", 0},
      {"2~740~0~V~D~Z", "2~740~0~V~D~", 0},
      {" 1 ~135~0~~5~6", "1~135~0~~5~6", 0},
      {"2~ 740 ~0~~a b~", "2~ 740 ~0~~a b~", 0},
      {"2~740~0~~D", "", 9},
      {"x~740~0~~D~", "", 13},
      {"70000~740~0~~D~", "", 6},
      {"2~740~0~~D~~1~135~0~~100~250~1~9", "2~740~0~~D~~1~135~0~~100~250", 9},
      {"1~135~0~~1~2~x~1~0~~D~", "1~135~0~~1~2", 13},
  };
  const std::map<int32_t, const char*> says = {{6, "Overflow"}, {9, "Subscript out of range"}, {13, "Type mismatch"}};
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

}  // namespace
}  // namespace mirel_SbF
