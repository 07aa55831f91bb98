#include "ServerConfig.h"

#include <fstream>

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
  std::string out;
  bool replaced = false;
  size_t start = 0;
  while (start <= connection.size()) {
    size_t end = connection.find(';', start);
    if (end == std::string::npos) end = connection.size();
    const std::string entry = connection.substr(start, end - start);
    if (!entry.empty()) {
      const std::string name = entry.substr(0, entry.find('='));
      if (name == key) {
        out += key + "=" + value + ";";
        replaced = true;
      } else {
        out += entry + ";";
      }
    }
    start = end + 1;
  }
  if (!replaced) out += key + "=" + value + ";";
  return out;
}

int ControlServer(const ServerConfig& server, const std::string& command) {
  std::string output;
  const std::string line = std::string("\"") + MIREL_SOURCE_DIR + "/tools/pg/server.sh\" " + command + " \"" +
                           server.folder + "\"" + (command == "start" ? " " + server.port : "");
  return RunCommand(line, output);
}

}  // namespace mirel_test
