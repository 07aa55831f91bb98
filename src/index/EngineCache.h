// EngineCache: what an engine keeps between queries (vehicle sets, loaded postings, whole
// results), bounded in bytes and shared by all threads that use the same databases.
//
// Entries are immutable once stored and handed out as shared pointers, so a reader keeps
// what it got even when the entry is evicted. Keys carry the version of every database file
// the entry was read from, so an entry of a file that changed is simply never asked for
// again and ages out. The least recently used entries go first when a new entry would pass
// the byte limit; an entry larger than the whole limit is not kept.
#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

namespace mirel_platform {

class EngineCache {
 public:
  explicit EngineCache(size_t limitBytes) : m_limit(limitBytes) {}

  template <class T>
  std::shared_ptr<const T> Get(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_index.find(key);
    if (it == m_index.end()) {
      ++m_misses;
      return nullptr;
    }
    m_lru.splice(m_lru.begin(), m_lru, it->second);
    ++m_hits;
    return std::static_pointer_cast<const T>(it->second->value);
  }

  template <class T>
  void Put(const std::string& key, std::shared_ptr<const T> value, size_t bytes) {
    bytes += key.size() + kEntryOverhead;
    if (bytes > m_limit) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (auto it = m_index.find(key); it != m_index.end()) {
      m_used -= it->second->bytes;
      m_lru.erase(it->second);
      m_index.erase(it);
    }
    while (m_used + bytes > m_limit && !m_lru.empty()) {
      m_used -= m_lru.back().bytes;
      m_index.erase(m_lru.back().key);
      m_lru.pop_back();
      ++m_evictions;
    }
    ++m_loads;
    m_lru.push_front(Entry{key, std::static_pointer_cast<const void>(std::move(value)), bytes});
    m_index.emplace(key, m_lru.begin());
    m_used += bytes;
  }

  struct Counts {
    size_t entries, bytes, limit;
    long long hits, misses, evictions, loads;
  };
  Counts CountsForTesting() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Counts{m_index.size(), m_used, m_limit, m_hits, m_misses, m_evictions, m_loads};
  }

 private:
  static constexpr size_t kEntryOverhead = 96;
  struct Entry {
    std::string key;
    std::shared_ptr<const void> value;
    size_t bytes;
  };
  mutable std::mutex m_mutex;
  std::list<Entry> m_lru;
  std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
  size_t m_limit;
  size_t m_used = 0;
  long long m_hits = 0;
  long long m_misses = 0;
  long long m_evictions = 0;
  long long m_loads = 0;
};

}  // namespace mirel_platform
