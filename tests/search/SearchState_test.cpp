// The saved-state text: written and read character for character.
#include <gtest/gtest.h>

#include "mirel_SbF/Search.h"
#include "search/SearchImpl.h"

namespace mirel_SbF {
namespace {

TEST(CurrentState, WorkedExample) {
  Search search;
  search.AddSelection("740", "0", "", "D");
  search.AddMinMax("135", "0", "", "100", "250");
  search.AddMax("136", "1", "", "4.5");
  const std::string state = search.CurrentState();
  EXPECT_EQ(state, "2~740~0~~D~~1~135~0~~100~250~1~136~1~~!!~4.5");

  Search restored;
  restored.CurrentState(state);
  EXPECT_EQ(restored.CurrentState(), state);
}

struct RoundTrip {
  const char* written;
  const char* readBack;
};

TEST(CurrentState, WrittenTextsReadBack) {
  const RoundTrip cases[] = {
      {"", ""},
      {"2~740~0~~D~", "2~740~0~~D~"},
      {"1~135~0~~100~!!", "1~135~0~~100~!!"},
      {"1~135~0~~100~250~2~740~0~~D~", "1~135~0~~100~250~2~740~0~~D~"},
      {"3~740~0~~D~", "2~740~0~~D~"},
      {"2~740~0~V~D~Z", "2~740~0~V~D~"},
      {"1~135~0~~~", "1~135~0~~~"},
      {" 1 ~135~0~~5~6", "1~135~0~~5~6"},
      {"2~ 740 ~0~~a b~", "2~ 740 ~0~~a b~"},
  };
  for (const auto& c : cases) {
    Search search;
    search.AddSelection("999", "0", "", "old");  // replaced by every write
    search.CurrentState(c.written);
    EXPECT_EQ(search.CurrentState(), c.readBack) << c.written;
  }
}

struct BadState {
  const char* written;
  int32_t number;
  const char* restored;  // what the object holds afterwards
};

TEST(CurrentState, UnreadableTextsKeepTheGroupsBeforeTheFault) {
  const BadState cases[] = {
      {"2~740~0~~D", 9, ""},
      {"x~740~0~~D~", 13, ""},
      {"70000~740~0~~D~", 6, ""},
      {"2~740~0~~D~~1~135~0~~100~250~1~9", 9, "2~740~0~~D~~1~135~0~~100~250"},
      {"1~135~0~~1~2~~", 9, "1~135~0~~1~2"},
      {"1~135~0~~1~2~x~1~0~~D~", 13, "1~135~0~~1~2"},
  };
  for (const auto& c : cases) {
    Search search;
    search.AddSelection("999", "0", "", "old");
    try {
      search.CurrentState(c.written);
      ADD_FAILURE() << c.written << ": no error";
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), c.number) << c.written;
      EXPECT_EQ(e.Source(), "mirel_SbF.ParseState") << c.written;
    }
    EXPECT_EQ(search.CurrentState(), c.restored) << c.written;
  }
}

TEST(CurrentState, AtMost5461SelectionsFitTheFieldIndex) {
  std::string fits;
  for (int i = 0; i < 5461; ++i) fits += (i ? "~" : "") + std::string("1~1~0~~1~2");
  Search search;
  search.CurrentState(fits);
  EXPECT_EQ(search.CurrentState(), fits);
  try {
    search.CurrentState(fits + "~1~1~0~~1~2");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 6);
    EXPECT_EQ(e.Source(), "mirel_SbF.ParseState");
  }
}

TEST(BuildState, SelectionOfNoKnownTypeStopsTheText) {
  Search::State state;
  state.m_colSelections = std::make_shared<Collection<SbFUserSelection>>();
  auto good = CreateSbFUserSelectionObject(1, "1", "0", "", "1", "2", "");
  state.m_colSelections->Add(good);
  state.m_colSelections->Add(std::make_shared<SbFUserSelection>());  // control type 0
  try {
    BuildState(state);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), kErrObject);
    EXPECT_EQ(e.Source(), "mirel_SbF");
    EXPECT_EQ(e.Description(), "Missing eControlType");
  }
  EXPECT_EQ(state.m_strCurrentState, "1~1~0~~1~2");
}

}  // namespace
}  // namespace mirel_SbF
