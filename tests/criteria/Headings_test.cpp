// The category headings: the query text and the headings of the sample.
#include <gtest/gtest.h>

#include "mirel_SbF/mirel_SbF.h"
#include "support/RecordingProvider.h"
#include "support/SampleData.h"

namespace mirel_SbF {
namespace {

// The segment's join (the text without it: the sbf tool's headings test).
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

// The sample's French headings of a segment in display order (German, without a segment:
// the sbf tool's headings test).
TEST(GetSbFHeadings, SampleHeadingsOfASegmentInDisplayOrder) {
  Search search;
  search.SetDatabaseInfo(mirel_test::SampleConnection(), "specs", "prj", 5, "USD");
  search.SegmentId(1);
  auto rs = search.GetSbFHeadings();
  std::vector<std::string> headings;
  for (; !rs->EndOfFile(); rs->MoveNext()) headings.push_back(CStr(rs->Fields("application_text").Value()));
  EXPECT_EQ(headings, (std::vector<std::string>{"Général", "Moteur", "Carrosserie"}));
}

}  // namespace
}  // namespace mirel_SbF
