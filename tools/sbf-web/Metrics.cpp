#include "Metrics.h"

#include <charconv>
#include <fstream>
#include <tuple>

#include <unistd.h>

#include <mirel_SbF/mirel_SbF.h>

#include "Json.h"

namespace sbf_web {
namespace {

// A number as the format writes it: the shortest text that reads back as the same double.
std::string Number(double value) {
  char text[32];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : "NaN";
}

// "# HELP" and "# TYPE" lines of one metric family.
std::string Family(const char* name, const char* type, const char* help) {
  return std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

}  // namespace

void Metrics::Request(const std::string& route, int status, double seconds) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_requests[{route, status}];
  Latency& latency = m_latency[route];
  size_t bucket = 0;
  while (bucket < kBuckets.size() && seconds > kBuckets[bucket]) ++bucket;
  if (bucket < kBuckets.size()) ++latency.buckets[bucket];
  ++latency.count;
  latency.sum += seconds;
}

void Metrics::LibraryError(int32_t number) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_libraryErrors[number];
}

void Metrics::Connections(int64_t open) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_connections = open;
}

std::string Metrics::Text(bool ready) const {
  std::string out;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    out += Family("sbf_web_requests_total", "counter", "Requests answered, by route and HTTP status.");
    for (const auto& [key, count] : m_requests)
      out += "sbf_web_requests_total{route=\"" + key.first + "\",status=\"" + std::to_string(key.second) + "\"} " +
             std::to_string(count) + "\n";
    out += Family("sbf_web_request_duration_seconds", "histogram",
                  "Time from a complete request head to the end of its answer, by route.");
    for (const auto& [route, latency] : m_latency) {
      const std::string labels = "route=\"" + route + "\"";
      uint64_t cumulative = 0;
      for (size_t i = 0; i < kBuckets.size(); ++i) {
        cumulative += latency.buckets[i];
        out += "sbf_web_request_duration_seconds_bucket{" + labels + ",le=\"" + Number(kBuckets[i]) + "\"} " +
               std::to_string(cumulative) + "\n";
      }
      out += "sbf_web_request_duration_seconds_bucket{" + labels + ",le=\"+Inf\"} " + std::to_string(latency.count) +
             "\n";
      out += "sbf_web_request_duration_seconds_sum{" + labels + "} " + Number(latency.sum) + "\n";
      out += "sbf_web_request_duration_seconds_count{" + labels + "} " + std::to_string(latency.count) + "\n";
    }
    out += Family("sbf_web_library_errors_total", "counter", "Errors the library raised, by number.");
    for (const auto& [number, count] : m_libraryErrors)
      out += "sbf_web_library_errors_total{number=\"" + sbf_host::HexNumber(number) + "\"} " + std::to_string(count) +
             "\n";
    out += Family("sbf_web_connections", "gauge", "Client connections held: waiting for a request or being answered.");
    out += "sbf_web_connections " + std::to_string(m_connections) + "\n";
  }
  out += Family("sbf_web_ready", "gauge", "1 when the first screen has been answered and the server is not draining.");
  out += std::string("sbf_web_ready ") + (ready ? "1" : "0") + "\n";
  const mirel_base::CacheCounts cache = mirel_base::EngineCacheCounts();
  out += Family("sbf_engine_cache_bytes", "gauge", "Bytes the embedded engine keeps between queries.");
  out += "sbf_engine_cache_bytes " + std::to_string(cache.bytes) + "\n";
  out += Family("sbf_engine_cache_entries", "gauge", "Entries the embedded engine keeps between queries.");
  out += "sbf_engine_cache_entries " + std::to_string(cache.entries) + "\n";
  for (const auto& [name, value, help] :
       {std::tuple{"sbf_engine_cache_hits_total", cache.hits, "Lookups that found a kept entry."},
        std::tuple{"sbf_engine_cache_misses_total", cache.misses, "Lookups that found none."},
        std::tuple{"sbf_engine_cache_loads_total", cache.loads, "Entries stored."},
        std::tuple{"sbf_engine_cache_evictions_total", cache.evictions, "Entries dropped to make room."}})
    out += Family(name, "counter", help) + name + " " + std::to_string(value) + "\n";
  out += Family("process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
  out += "process_resident_memory_bytes " + std::to_string(ResidentBytes()) + "\n";
  return out;
}

int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * static_cast<int64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace sbf_web
