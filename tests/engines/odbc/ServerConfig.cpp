#include "ServerConfig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/SampleData.h"

namespace mirel_test {

std::optional<ServerConfig> TestServer() {
  const char* file = MIREL_TEST_SERVER_FILE;
  if (!*file) return std::nullopt;
  std::ifstream in(file);
  ServerConfig config;
  if (!std::getline(in, config.connection) || !std::getline(in, config.folder) || !std::getline(in, config.port))
    return std::nullopt;
  return config;
}

std::string WithEntry(const std::string& connection, const std::string& key, const std::string& value) {
  std::istringstream in(connection);
  std::string out;
  for (std::string entry; std::getline(in, entry, ';');)
    if (!entry.empty() && entry.substr(0, entry.find('=')) != key) out += entry + ";";
  return out + key + "=" + value + ";";
}

int ControlServer(const ServerConfig& server, const std::string& command) {
  std::string output;
  return RunCommand(ShellQuote(std::string(MIREL_SOURCE_DIR) + "/tools/pg/server.sh") + " " + command + " " +
                        ShellQuote(server.folder) + (command == "start" ? " " + server.port : ""),
                    output);
}

std::string AsSuperuser(const ServerConfig& server, const std::string& sql) {
  // On standard input: the server's user may not be able to read our files.
  const std::string file = MakeTempFolder("sbf-sql") + "/script.sql";
  std::ofstream(file) << sql;
  std::string out;
  const int status = RunCommand(ShellQuote(std::string(MIREL_SOURCE_DIR) + "/tools/pg/server.sh") + " psql " +
                                    ShellQuote(server.folder) + " -A -t <" + ShellQuote(file),
                                out);
  EXPECT_EQ(status, 0) << sql << "\n" << out;
  return out;
}

}  // namespace mirel_test
