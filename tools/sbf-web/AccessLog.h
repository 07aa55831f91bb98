// One JSON line per answered request, to stderr or a file (sbf-web --access-log FILE):
//   {"time":"2026-01-31T12:00:00.123Z","method":"GET","route":"/api/screen","status":200,
//    "ms":12.5,"bytes":5321,"vehicles":29,"state":"either-or~7401~0~~~~2~7401… (212 chars)",
//    "remote":"127.0.0.1"}
// The state text is shortened; no other part of the address is written (what a client typed
// may hold anything), and never the connection string, so no password reaches the log.
#pragma once

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

namespace sbf_web {

struct LogEntry {
  std::string method, route, remote;
  int status = 0;
  double milliseconds = 0;
  size_t bytes = 0;
  std::optional<int32_t> vehicles;  // the screen's count, when one was built
  std::optional<std::string> state;
  std::optional<int32_t> libraryError;  // the library's error number, when it raised one
};

class AccessLog {
 public:
  // Empty `path`: stderr. Throws std::runtime_error when the file cannot be opened.
  explicit AccessLog(const std::string& path);
  void Write(const LogEntry& entry);

  // The state as the log keeps it: up to 80 bytes (not cutting a UTF-8 sequence), then
  // "… (N chars)".
  static std::string Shortened(const std::string& state);

 private:
  std::mutex m_mutex;
  std::ofstream m_file;
  std::ostream* m_out;
};

}  // namespace sbf_web
