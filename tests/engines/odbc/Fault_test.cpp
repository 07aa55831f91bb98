// Faults of a server under a running host: sessions cut by the server, and the server
// stopped mid-run and started again. The host is never restarted; each call either
// answers right or raises a clear connector error.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "mirel_SbF/mirel_SbF.h"
#include "engines/odbc/OdbcProvider.h"
#include "ServerConfig.h"

namespace mirel_SbF {
namespace {

// Connect Timeout of the connection string the tests use: a call while the server is down
// fails within it rather than hanging.
constexpr int kConnectTimeout = 5;

std::string Connection(const mirel_test::ServerConfig& server) {
  return mirel_test::WithEntry(server.connection, "Connect Timeout", std::to_string(kConnectTimeout));
}

int32_t Count(const std::string& conn) {
  Search search;
  search.SetDatabaseInfo(conn, "specs", "prj", 1, "USD");
  search.AddSelection("7401", "0", "", "EU");
  return search.GetNumberOfMatchingVehicles();
}

TEST(OdbcFaults, SessionsCutByTheServerAreReplacedUnnoticed) {
  MIREL_REQUIRE_SERVER(server);
  const std::string conn = Connection(*server);
  const int32_t expected = Count(conn);
  const auto before = mirel_platform::OdbcPoolCountsForTesting();
  ASSERT_GT(before.idle, 0);
  mirel_test::AsSuperuser(*server,
                          "select pg_terminate_backend(pid) from pg_stat_activity where usename = 'sbf_reader';");
  EXPECT_EQ(Count(conn), expected);
  EXPECT_GT(mirel_platform::OdbcPoolCountsForTesting().opened, before.opened);
  EXPECT_EQ(Count(conn), expected);
}

// Starts the server again however the test ends, so that later tests find it running.
struct RestartAtEnd {
  const mirel_test::ServerConfig& server;
  ~RestartAtEnd() { mirel_test::ControlServer(server, "start"); }
};

TEST(OdbcFaults, TheServerStoppedMidRunGivesClearErrorsAndCallsRecoverOnceItIsBack) {
  MIREL_REQUIRE_SERVER(server);
  const std::string conn = Connection(*server);
  const int32_t expected = Count(conn);
  RestartAtEnd restart{*server};

  enum Phase { Up, Down, Back, Over };
  std::atomic<int> phase{Up};
  // Calls that answered before the stop and after the start, errors while down, wrong answers.
  std::atomic<int> before{0}, errorsWhileDown{0}, after{0}, wrong{0};
  std::mutex mutex;
  std::string badError;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      while (phase.load() != Over) {
        const int seen = phase.load();
        try {
          const int32_t n = Count(conn);
          if (n != expected) ++wrong;
          if (seen == Up) ++before;
          if (seen == Back) ++after;
        } catch (const Error& e) {
          if (seen == Down) ++errorsWhileDown;
          // Errors are expected only while the server is down or going down; every one
          // must be the connector's and say which data source failed.
          if ((seen == Up && phase.load() == Up) || seen == Back || e.Source() != "mirel_base.Connector" ||
              e.Description().find("ODBC data source") == std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex);
            badError = std::to_string(seen) + " " + e.Source() + ": " + e.Description();
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }

  std::this_thread::sleep_for(std::chrono::seconds(1));
  phase = Down;
  const bool stopped = mirel_test::ControlServer(*server, "stop") == 0;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const bool started = mirel_test::ControlServer(*server, "start") == 0;
  // Calls that began before the start finished may still fail; count from here.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  phase = Back;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  phase = Over;
  for (auto& th : threads) th.join();

  ASSERT_TRUE(stopped);
  ASSERT_TRUE(started);
  // A thread whose calls never recovered would have raised errors after the start.
  EXPECT_GT(before, 0);
  EXPECT_GT(errorsWhileDown, 0);
  EXPECT_GT(after, 0);
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(badError.empty()) << badError;
}

}  // namespace
}  // namespace mirel_SbF
