// Many hosts at once on one server: eight threads, each with Search objects of its own, run
// a mix of screens, counts and vehicle lists, without and with the connector's answer cache;
// every answer must be the one a single thread got for the same input.
#include <gtest/gtest.h>

#include "ServerConfig.h"
#include "support/LoadMix.h"

namespace {

TEST(OdbcLoad, EightThreadsGetTheSingleThreadedAnswers) {
  MIREL_REQUIRE_SERVER(server);
  for (const char* seconds : {"0", "60"})
    for (const std::string& problem :
         mirel_test::RunLoadMix(mirel_test::WithEntry(server->connection, "Cache Seconds", seconds), 8, 256))
      ADD_FAILURE() << "Cache Seconds=" << seconds << ": " << problem;
}

}  // namespace
