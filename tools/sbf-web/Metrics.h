// What the web host counts, written in Prometheus's text exposition format (version 0.0.4)
// for GET /metrics: requests by route and status, their latency as a histogram, the
// library's errors by number, the connections the server holds, whether it is ready, what
// the embedded engine keeps (mirel_base::EngineCacheCounts) and the resident memory.
// Thread-safe: every worker records into one Metrics.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace sbf_web {

class Metrics {
 public:
  // The latency buckets' upper bounds, in seconds.
  static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                       0.1,   0.25,   0.5,   1,    2.5,   10};

  // One answered request: its route (a fixed name, never the address a client sent), its
  // status and how long it took.
  void Request(const std::string& route, int status, double seconds);
  // An error the library raised (its number), answered as a bad request or a failure.
  void LibraryError(int32_t number);
  // Connections the server holds now (waiting for a request or being answered).
  void Connections(int64_t open);

  // The whole exposition; `ready` as sbf_web_ready.
  std::string Text(bool ready) const;

 private:
  struct Latency {
    std::array<uint64_t, kBuckets.size()> buckets{};  // not cumulative; summed when written
    uint64_t count = 0;
    double sum = 0;
  };
  mutable std::mutex m_mutex;
  std::map<std::pair<std::string, int>, uint64_t> m_requests;
  std::map<std::string, Latency> m_latency;
  std::map<int32_t, uint64_t> m_libraryErrors;
  int64_t m_connections = 0;
};

// The resident memory of this process in bytes (from /proc/self/statm; 0 where unknown).
int64_t ResidentBytes();

}  // namespace sbf_web
