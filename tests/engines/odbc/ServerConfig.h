// The database server the server tests run against, as test.sh describes it in the file
// named by MIREL_TEST_SERVER_FILE: the reader's connection string, the server's folder
// and its port, one a line. Without that file the server tests are skipped.
#pragma once

#include <optional>
#include <string>

namespace mirel_test {

struct ServerConfig {
  std::string connection;  // Provider=ODBC;... for the read-only role
  std::string folder;      // for tools/pg/server.sh stop|start
  std::string port;
};

std::optional<ServerConfig> TestServer();

// The connection string with `key` set to `value` (its entry last, replacing any earlier one).
std::string WithEntry(const std::string& connection, const std::string& key, const std::string& value);

// Runs tools/pg/server.sh COMMAND FOLDER [PORT]; returns its exit status.
int ControlServer(const ServerConfig& server, const std::string& command);

// Runs `sql` as the server's superuser (psql -A -t); returns its output, failing the test
// when psql fails.
std::string AsSuperuser(const ServerConfig& server, const std::string& sql);

}  // namespace mirel_test

#define MIREL_REQUIRE_SERVER(var)                                                     \
  const std::optional<mirel_test::ServerConfig> var = mirel_test::TestServer();       \
  if (!var) GTEST_SKIP() << "no test server (test.sh starts one unless --sqlite-only)"
