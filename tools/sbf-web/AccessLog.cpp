#include "AccessLog.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <stdexcept>

#include "Json.h"

namespace sbf_web {
namespace {

// Now as UTC, to the millisecond: "2026-01-31T12:00:00.123Z".
std::string Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
  return text;
}

}  // namespace

AccessLog::AccessLog(const std::string& path) : m_out(&std::cerr) {
  if (path.empty()) return;
  m_file.open(path, std::ios::app);
  if (!m_file) throw std::runtime_error("cannot open the access log " + path);
  m_out = &m_file;
}

std::string AccessLog::Shortened(const std::string& state) {
  constexpr size_t kKept = 80;
  if (state.size() <= kKept) return state;
  size_t cut = kKept;
  while (cut > 0 && (static_cast<unsigned char>(state[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
  return state.substr(0, cut) + "\u2026 (" + std::to_string(state.size()) + " chars)";
}

void AccessLog::Write(const LogEntry& e) {
  sbf_host::Json line = {{"time", Now()},
                         {"method", e.method},
                         {"route", e.route},
                         {"status", e.status},
                         {"ms", static_cast<double>(static_cast<int64_t>(e.milliseconds * 10 + 0.5)) / 10},
                         {"bytes", e.bytes}};
  if (e.vehicles) line["vehicles"] = *e.vehicles;
  if (e.state) line["state"] = Shortened(*e.state);
  if (e.libraryError) line["error"] = sbf_host::HexNumber(*e.libraryError);
  line["remote"] = e.remote;
  const std::string text = sbf_host::Dump(line);
  std::lock_guard<std::mutex> lock(m_mutex);
  *m_out << text << std::flush;
}

}  // namespace sbf_web
