// Range rows: the query text, the step ladder, the closing value and its key, prices.
#include <gtest/gtest.h>

#include "criteria/Criteria.h"
#include "pricing/Pricing.h"
#include "support/Raises.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

using mirel_test::Raises;
using mirel_test::RecordingProvider;

struct Fixture {
  RecordingProvider recorder;
  Search::State state = mirel_test::NewState(RecordingProvider::kConnection);

  Fixture() {
    state.m_oPricing = std::make_shared<Pricing>();
    state.m_oPricing->InitPricing("GBP,USD", state.m_strDbConn, "prj");
    state.m_rsTitleText = std::make_shared<MemoryRecordset>(
        std::vector<std::string>{"sbf_row_id", "search_by_Features_text"},
        std::vector<std::vector<Variant>>{{int32_t{10}, "power"}});
  }

  // One range record of schema `schema` and builds its row.
  std::shared_ptr<Results> Build(int32_t schema, double increment, double min, double max,
                                 Variant format = int32_t{0}) {
    MemoryRecordset record({"Minimum", "Maximum", "criterion_schema_id", "criterion_value",
                            "criterion_location", "Row_Id", "Order_Id", "Category",
                            "multi_select_style", "criterion_increment", "criterion_format"},
                           {{min, max, schema, "", int32_t{0}, 10.0, 1.0, "Engine", int32_t{2},
                             increment, format}});
    AddSbFMinMaxInfo(state, record);
    EXPECT_TRUE(record.EndOfFile());
    return state.m_colResults->Item(state.m_colResults->Count());
  }
};

std::string Ladder(const Results& row) {
  std::string out;
  auto walker = row.NewEnum();
  std::shared_ptr<Info> v;
  while (walker->Next(v)) out += (out.empty() ? "" : " ") + v->DataValue();
  return out;
}

std::string Sequence(double from, double to, double step) {
  std::string out;
  for (double v = from; v <= to + 1e-9; v += step) out += (out.empty() ? "" : " ") + DoubleToText(v);
  return out;
}

TEST(AddSbFMinMaxInfo, Ladders) {
  struct Case { double increment, min, max; std::string values; int32_t count; const char* lastKey; } cases[] = {
      {1, 0, 10, Sequence(0, 10, 1), 11, "10"},
      {1, 0, 10.5, Sequence(0, 10, 1) + " 11", 12, "12"},  // closing value, one key skipped
      {1, 1234, 5000, Sequence(1200, 3000, 100) + " " + Sequence(3200, 5000, 200), 29, "28"},
      {1, 0, 200, Sequence(0, 30, 1) + " " + Sequence(32, 60, 2) + " " + Sequence(64, 120, 4) + " " +
                      Sequence(128, 200, 8), 71, "70"},
      {0.5, 3, 7, Sequence(3, 7, 0.5), 9, "8"},
      {10, 5, 5, "5", 1, "0"},
  };
  for (const auto& c : cases) {
    Fixture f;
    auto row = f.Build(135, c.increment, c.min, c.max);
    EXPECT_EQ(Ladder(*row), c.values) << c.min << ".." << c.max;
    EXPECT_EQ(row->Count(), c.count) << c.min << ".." << c.max;
    EXPECT_EQ(row->Item(c.lastKey), row->Item(row->Count())) << c.min << ".." << c.max;
  }
}

TEST(AddSbFMinMaxInfo, TextsAndMarks) {
  Fixture f;
  auto range = CreateSbFUserSelectionObject(1, "135", "0", "", "1300", "!!", "");
  f.state.m_colSelections->Add(range);
  auto row = f.Build(135, 1, 1234, 2000);
  EXPECT_EQ(row->Item(1)->FullText(), "1,200");
  EXPECT_FALSE(row->Item(1)->IsSelected());
  EXPECT_TRUE(row->Item(2)->IsSelected());  // 1300
  auto decimals = f.Build(1105, 0.5, 3, 4, int32_t{1});
  EXPECT_EQ(decimals->Item(2)->FullText(), "3.5");
  auto unset = f.Build(1105, 0.5, 3, 3, Variant::Null());
  EXPECT_EQ(unset->Item(1)->FullText(), "3");  // -1 decimals: the number as it is
}

TEST(AddSbFMinMaxInfo, PricesInThePrimaryCurrency) {
  Fixture f;  // GBP 0.7 and USD 1.1 per euro; prices held in USD
  f.recorder.Queue(std::make_shared<MemoryRecordset>(std::vector<std::string>{"id_901"},
                                                     std::vector<std::vector<Variant>>{{"USD"}}));
  auto row = f.Build(902, 500, 110, 110);
  ASSERT_EQ(row->Count(), 1);
  EXPECT_EQ(row->Item(1)->DataValue(), "70");
  EXPECT_EQ(row->Item(1)->FullText(), "\u00a370.00 ($110.00)");
  EXPECT_EQ(DetermineFromCurrencyType(f.state, 100902), "EUR");
}

TEST(AdjustMinMaxStep, StepsAndRefusals) {
  // The steps of 1234, 0 and 3: the ladders above.
  EXPECT_DOUBLE_EQ(AdjustMinMaxStep(1, 30), 2);  // 1/30 < 0.05: one more base step
  const std::string source = "mirel_SbF.AdjustMinMaxStep", says = "The increment of a range must be positive: ";
  EXPECT_TRUE(Raises([] { AdjustMinMaxStep(0, 10); }, kErrObject, source, says + "0"));
  EXPECT_TRUE(Raises([] { AdjustMinMaxStep(1, -5); }, 6, source, "Overflow"));  // a negative minimum
}

// The category, segment and standard-equipment parts of the text after another condition
// (the text as a whole runs on the engines in every screen test).
TEST(GetSbFMinMaxInfo, QueryText) {
  Fixture f;
  f.state.m_bExcludeAdvancedVehicles = true;
  f.state.m_lSegmentId = 2;
  GetSbFMinMaxInfo(f.state, "Eng'ine", true, true);
  auto queries = f.recorder.SearchQueries();
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries[0].dbName, "specs");
  EXPECT_NE(queries[0].sql.find("and (sbf.multi_select_style = 2)  and (sbf.category = N'Eng''ine') "
                                "inner join prj..search_by_features_segmentation sbfs on (sbfs.segment_id = 2) "
                                "and (sbfs.sbf_row_id = sbf.row_id) inner join schema_info"),
            std::string::npos)
      << queries[0].sql;
  EXPECT_NE(queries[0].sql.find("(data_value <> N'A')) AND eq0.option_id = 0  group by"), std::string::npos);
}

}  // namespace
}  // namespace mirel_SbF
