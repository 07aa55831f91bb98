// EngineCache: what an engine keeps between queries (vehicle sets, postings, whole results),
// bounded in bytes and shared by all threads that use the same databases.
//
// Each entry is of one kind (Kept), and each kind holds one type (KeptType<kind>), so that a
// key names what it stands for and an entry can only come back as what it was kept as. Keys
// carry the version of every database file the entry was read from (the stamp), so that an
// entry of a file that changed is never asked for again and ages out.
//
// Entries are immutable once stored and handed out as shared pointers, so a reader keeps
// what it got even when the entry is evicted. The least recently used entries go first when
// a new entry would pass the byte limit; an entry larger than the whole limit is not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace mirel_platform {

// The kinds of entries, each with the type it holds (declared by whoever keeps it).
enum class Kept : uint8_t {
  Answer,          // a text's whole answer (facets::Answer)
  LevelSet,        // the vehicles of a nested level, with the levels it holds (VehicleSet)
  OwnSet,          // the vehicles of a level's own conditions (VehicleSet)
  StandardSet,     // the vehicles with a standard equipment row (VehicleSet)
  Universe,        // the vehicle ids of a version of the data (VehicleUniverse)
  Postings,        // one item's postings (facets::Postings)
  EquipmentTypes,  // whether equipment's columns allow the faster forms
  CriteriaItems,   // the items the criteria rows name (facets::SchemaIds)
  ItemKinds,       // the numeric or the coded items (facets::SchemaIds)
  SortedCopy,      // the vehicles of version sorted by a text's columns (facets::KeyedTable)
  Companion,       // whether a database has a companion index for a version, and which
  ServerAnswer,    // a database server's answer kept for Cache Seconds
};
template <Kept kind>
struct KeptType;

class EngineCache {
 public:
  explicit EngineCache(size_t limitBytes) : m_limit(limitBytes) {}

  template <Kept kind>
  std::shared_ptr<const typename KeptType<kind>::type> Get(std::string_view stamp, std::string_view text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_index.find(Key{kind, std::string(stamp), std::string(text)});
    if (it == m_index.end()) {
      ++m_counts.misses;
      return nullptr;
    }
    m_lru.splice(m_lru.begin(), m_lru, it->second);
    ++m_counts.hits;
    return std::static_pointer_cast<const typename KeptType<kind>::type>(it->second->value);
  }

  template <Kept kind>
  void Put(std::string_view stamp, std::string_view text, std::shared_ptr<const typename KeptType<kind>::type> value,
           size_t bytes) {
    Key key{kind, std::string(stamp), std::string(text)};
    bytes += key.stamp.size() + key.text.size() + kEntryOverhead;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bytes > m_limit) return;
    ++m_counts.stores;
    if (auto it = m_index.find(key); it != m_index.end()) {
      m_counts.bytes -= it->second->bytes;
      m_lru.erase(it->second);
      m_index.erase(it);
    }
    while (m_counts.bytes + bytes > m_limit && !m_lru.empty()) {
      m_counts.bytes -= m_lru.back().bytes;
      m_index.erase(m_lru.back().key);
      m_lru.pop_back();
      ++m_counts.evictions;
    }
    m_lru.push_front(Entry{key, std::static_pointer_cast<const void>(std::move(value)), bytes});
    m_index.emplace(std::move(key), m_lru.begin());
    m_counts.bytes += bytes;
  }

  struct Counts {
    size_t entries = 0, bytes = 0, limit = 0;
    int64_t hits = 0, misses = 0, evictions = 0, stores = 0;
  };
  Counts GetCounts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Counts counts = m_counts;
    counts.entries = m_index.size();
    counts.limit = m_limit;
    return counts;
  }

 private:
  static constexpr size_t kEntryOverhead = 96;
  struct Key {
    Kept kind;
    std::string stamp;
    std::string text;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      const size_t h = std::hash<std::string>()(k.stamp) * 31 + std::hash<std::string>()(k.text);
      return h * 131 + static_cast<size_t>(k.kind);
    }
  };
  struct Entry {
    Key key;
    std::shared_ptr<const void> value;
    size_t bytes;
  };
  mutable std::mutex m_mutex;
  std::list<Entry> m_lru;
  std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> m_index;
  size_t m_limit;
  Counts m_counts;
};

}  // namespace mirel_platform
