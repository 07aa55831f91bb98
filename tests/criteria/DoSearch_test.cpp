// DoSearch: the merge of the three kinds of rows and keys across order groups (the screens
// of the sample and of random databases against the test's own evaluation: Counts_test).
#include <gtest/gtest.h>

#include <tuple>

#include "criteria/Criteria.h"
#include "mirel_SbF/mirel_SbF.h"
#include "support/RecordingProvider.h"

namespace mirel_SbF {
namespace {

using mirel_test::RecordingProvider;

using CodedRows = std::vector<std::tuple<int32_t, int32_t, std::string>>;  // row id, order id, data value
using NumberRows = std::vector<std::tuple<int32_t, int32_t, double>>;

// Queues the answers of one DoSearch: titles, coded values, ranges, numeric values.
void QueueScreen(RecordingProvider& recorder, const std::vector<int32_t>& titles, const CodedRows& coded,
                 const std::vector<int32_t>& ranges, const NumberRows& numbers) {
  std::vector<std::vector<Variant>> t, c, r, n;
  for (int32_t row : titles) t.push_back({row, "title " + std::to_string(row)});
  for (const auto& [row, order, value] : coded)
    c.push_back({int32_t{7401}, "      " + value, value, int32_t{7401}, "", int32_t{0}, row, order, "General", int32_t{1}});
  for (int32_t row : ranges)
    r.push_back({1.0, 3.0, int32_t{135}, "", int32_t{0}, static_cast<double>(row), 1.0, "Engine", int32_t{2}, 1.0, int32_t{0}});
  for (const auto& [row, order, value] : numbers)
    n.push_back({value, int32_t{1101}, "", int32_t{0}, row, order, "Engine", int32_t{1}, int32_t{0}});
  using Names = std::vector<std::string>;
  recorder.Queue(std::make_shared<MemoryRecordset>(Names{"sbf_row_id", "search_by_Features_text"}, std::move(t)));
  recorder.Queue(std::make_shared<MemoryRecordset>(
      Names{"schema_id", "data_value", "full_text", "criterion_schema_id", "criterion_value", "criterion_location",
            "row_id", "order_id", "Category", "multi_select_style"},
      std::move(c)));
  recorder.Queue(std::make_shared<MemoryRecordset>(
      Names{"Minimum", "Maximum", "criterion_schema_id", "criterion_value", "criterion_location", "Row_Id", "Order_Id",
            "Category", "multi_select_style", "criterion_increment", "criterion_format"},
      std::move(r)));
  recorder.Queue(std::make_shared<MemoryRecordset>(
      Names{"fdata_value", "criterion_schema_id", "criterion_value", "criterion_location", "row_id", "order_id",
            "Category", "multi_select_style", "criterion_format"},
      std::move(n)));
}

std::string Describe(const Search& search) {
  std::string out;
  for (const auto& row : search) {
    out += (out.empty() ? "" : " | ") + std::to_string(row->RowId()) + "." + std::to_string(row->OrderId()) +
           (row->IsMinMax() ? " range:" : " list:");
    for (const auto& value : *row) out += " " + value->DataValue();
  }
  return out;
}

// The merge takes the lowest row id next; on a tie coded values, then ranges, then
// numeric lists. A second call adds its rows after the first.
TEST(DoSearch, MergesTheThreeKindsInRowOrder) {
  struct Case {
    std::vector<int32_t> titles;
    CodedRows coded;
    std::vector<int32_t> ranges;
    NumberRows numbers;
    std::string rows;
  } cases[] = {
      {{10, 20, 30}, {{10, 1, "EU"}, {10, 1, "US"}, {30, 1, "JP"}}, {20}, {{10, 2, 4}, {10, 2, 6}},
       "10.1 list: EU US | 10.2 list: 4 6 | 20.1 range: 1 2 3 | 30.1 list: JP"},
      {{40}, {{40, 1, "EU"}}, {40}, {{40, 2, 4}}, "40.1 list: EU | 40.1 range: 1 2 3 | 40.2 list: 4"},
      {{40}, {}, {40}, {{40, 2, 4}}, "40.1 range: 1 2 3 | 40.2 list: 4"},
      {{40}, {{40, 1, "EU"}}, {}, {{40, 2, 4}}, "40.1 list: EU | 40.2 list: 4"},
  };
  for (const auto& c : cases) {
    RecordingProvider recorder;
    Search search;
    search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
    for (int round = 0; round < 2; ++round) {
      QueueScreen(recorder, c.titles, c.coded, c.ranges, c.numbers);
      search.DoSearch();
    }
    EXPECT_EQ(Describe(search), c.rows + " | " + c.rows);
    EXPECT_EQ(search.Item(1)->TitleText(), "Title " + std::to_string(c.titles[0]));
  }
}

TEST(DoSearch, KeysRunOnAcrossOrderGroups) {
  RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(RecordingProvider::kConnection, "specs", "prj", 1, "USD");
  search.AddSelection("7401", "0", "", "");
  QueueScreen(recorder, {25, 50}, {{25, 1, "EU"}, {25, 1, "JP"}, {25, 2, "US"}}, {},
              {{50, 1, 3}, {50, 1, 4}, {50, 1, 5}, {50, 2, 8}, {50, 2, 12}});
  search.DoSearch(false, "General", false);
  ASSERT_EQ(search.Count(), 4);
  EXPECT_EQ(search.Item(1)->Item("1")->DataValue(), "JP");
  EXPECT_EQ(search.Item(2)->Item("2")->DataValue(), "US");
  EXPECT_EQ(search.Item(4)->Item("3")->DataValue(), "8");
  EXPECT_THROW(search.Item(4)->Item("0"), Error);
  EXPECT_EQ(search.Item(1)->Category(), "General");
  EXPECT_EQ(search.Item(4)->Category(), "Engine");
}

}  // namespace
}  // namespace mirel_SbF
