// Row titles (query text, forward-only look-up) and the marks of chosen values.
#include "criteria/Criteria.h"

#include <gtest/gtest.h>

#include "support/Raises.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_test::NewState;
using mirel_test::Raises;
using mirel_test::RecordingProvider;

// The category's part of the text (the text as a whole: every screen of the sample).
TEST(InitSbFTitleText, QueryText) {
  RecordingProvider recorder;
  Search::State state = NewState(RecordingProvider::kConnection, 3);
  InitSbFTitleText(state, "O'Neil's");
  ASSERT_EQ(recorder.Queries().size(), 1u);
  EXPECT_EQ(recorder.Queries()[0].dbName, "prj");
  EXPECT_NE(recorder.Queries()[0].sql.find("(sbf.category=N'O''Neil''s') Where (language_id = 3) order by"),
            std::string::npos);
}

TEST(GetTitleText, MovesForwardOnly) {
  RecordingProvider recorder;
  recorder.Queue(std::make_shared<MemoryRecordset>(
      std::vector<std::string>{"sbf_row_id", "search_by_Features_text"},
      std::vector<std::vector<Variant>>{
          {int32_t{10}, "  engine  "}, {int32_t{20}, "body"}, {int32_t{30}, Variant::Null()}}));
  Search::State state = NewState(RecordingProvider::kConnection, 1);
  InitSbFTitleText(state, "");
  EXPECT_EQ(GetTitleText(state, 10), "Engine");
  EXPECT_EQ(GetTitleText(state, 20), "Body");
  const char* source = "mirel_SbF.GetTitleText";
  EXPECT_TRUE(Raises([&] { GetTitleText(state, 30); }, 94, source, "Invalid use of Null"));  // a Null title
  // A row id behind the position.
  EXPECT_TRUE(Raises([&] { GetTitleText(state, 10); }, kErrObject, source, "Unable to locate matching row_id"));
}

TEST(IsInfoObjectSelected, MarkingRules) {
  auto row = [](const char* schema, const char* location, const char* schemaValue) {
    auto r = std::make_shared<Results>();
    r->Schema(schema);
    r->SchemaLocation(location);
    r->SchemaValue(schemaValue);
    return r;
  };
  auto value = [](const char* data) { return CreateInfoObject(data, "", false); };
  Search::State state = NewState(RecordingProvider::kConnection, 1);
  auto pick = CreateSbFUserSelectionObject(2, "106", "0", "A", "!!", "!!", "");
  state.m_colSelections->Add(pick);
  auto range = CreateSbFUserSelectionObject(1, "135", "0", "", "100", "!!", "");
  state.m_colSelections->Add(range);
  struct Case { std::shared_ptr<Results> row; const char* data; bool selected; } cases[] = {
      {row("106", "0", ""), "A", true},    {row("106", "0", ""), "N", false},  {row("106", "0", "A"), "N", true},
      {row("106", "1", ""), "A", false},   {row("135", "0", ""), "100", true}, {row("135", "0", ""), "!!", true},
      {row("135", "0", ""), "110", false}, {row("135", "0", "x"), "100", false}, {row("1060", "0", ""), "A", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsInfoObjectSelected(state, *c.row, *value(c.data)), c.selected)
        << c.row->Schema() << "/" << c.row->SchemaValue() << "/" << c.data;
}

}  // namespace
}  // namespace mirel_SbF
