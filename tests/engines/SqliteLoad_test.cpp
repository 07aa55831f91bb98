// Many hosts at once on the embedded engine, whose kept sets, postings and answers are shared
// by every thread: eight threads get the single-threaded answers, with the default cache,
// with a cache so small that entries are evicted all the time, and with nothing kept.
#include <gtest/gtest.h>

#include "support/LoadMix.h"
#include "support/SampleData.h"

namespace {

TEST(SqliteLoad, EightThreadsGetTheSingleThreadedAnswersWithEveryCache) {
  for (const char* settings : {"", ";Cache MB=1", ";Evaluation=Levels", ";Cache MB=0"}) {
    const std::string conn = "Provider=SQLite;Data Source=" + mirel_test::SampleFolder() + settings;
    for (const std::string& problem : mirel_test::RunLoadMix(conn, 8, 64))
      ADD_FAILURE() << "\"" << settings << "\": " << problem;
  }
}

}  // namespace
