// The category headings: the query text and the headings of the sample per language.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

// The segment's join (the text without it: the sample's headings below).
TEST(GetSbFHeadings, QueryTextWithASegment) {
  mirel_test::RecordingProvider recorder;
  Search search;
  search.SetDatabaseInfo(mirel_test::RecordingProvider::kConnection, "specs", "prj", 5, "EUR");
  search.SegmentId(2);
  search.GetSbFHeadings();
  ASSERT_EQ(recorder.SearchQueries().size(), 1u);
  EXPECT_EQ(recorder.SearchQueries()[0].dbName, "prj");
  EXPECT_NE(recorder.SearchQueries()[0].sql.find(
                "inner join prj..search_by_features_segmentation sbfs on (sbfs.segment_id = 2) and "
                "(sbfs.sbf_row_id = sbf.row_id) Where atxt.language_id = 5 order by"),
            std::string::npos);
}

// (German, without a segment: the sbf tool's headings test.)
TEST(GetSbFHeadings, SampleHeadingsInDisplayOrderPerLanguage) {
  struct Case { int32_t language; int32_t segment; std::vector<std::string> headings; } cases[] = {
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
