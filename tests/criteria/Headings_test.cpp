// The category headings: the query text and the headings of the sample per language.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

TEST(GetSbFHeadings, QueryTextWithAndWithoutSegment) {
  mirel_test::RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(mirel_test::RecordingProvider::kConnection, "specs", "prj", 5, "EUR");
  search.GetSbFHeadings();
  search.SegmentId(2);
  search.GetSbFHeadings();
  ASSERT_EQ(recorder.SearchQueries().size(), 2u);
  EXPECT_EQ(recorder.SearchQueries()[0].dbName, "prj");
  const std::string head =
      "select distinct atxt.application_text, c.sbf_order_id from application_texts atxt "
      "inner join categories c on (c.category_name = atxt.text_id) "
      "inner join search_by_features sbf on (sbf.category = c.category_name) ";
  const std::string tail = "Where atxt.language_id = 5 order by c.sbf_order_id";
  EXPECT_EQ(recorder.SearchQueries()[0].sql, head + tail);
  EXPECT_EQ(recorder.SearchQueries()[1].sql,
            head + "inner join prj..search_by_features_segmentation sbfs on (sbfs.segment_id = 2) and "
                   "(sbfs.sbf_row_id = sbf.row_id) " + tail);
}

TEST(GetSbFHeadings, SampleHeadingsInDisplayOrderPerLanguage) {
  struct Case { int32_t language; int32_t segment; std::vector<std::string> headings; } cases[] = {
      {1, -1, {"General", "Engine", "Body"}},
      {3, -1, {"Allgemein", "Motor", "Karosserie"}},
      {5, 1, {"Général", "Moteur", "Carrosserie"}},
      {38, -1, {}},
  };
  for (const auto& c : cases) {
    Search search;
    search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", c.language, "USD");
    search.SegmentId(c.segment);
    auto rs = search.GetSbFHeadings();
    std::vector<std::string> headings;
    for (; !rs->EndOfFile(); rs->MoveNext()) headings.push_back(CStr(rs->Fields("application_text").Value()));
    EXPECT_EQ(headings, c.headings) << "language " << c.language;
  }
}

}  // namespace
}  // namespace mirel_SbF
