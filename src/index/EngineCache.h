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
// a new entry would pass the byte limit, but only for an entry worth more than those it
// would push out: an entry's worth is how often it was asked for lately (TinyLFU's sketch, as
// Caffeine keeps its caches) times what it cost to make (the time from the miss to the Put).
// So when a screen needs more than the limit holds, a stable part of what it needs stays kept
// and the rest is made per request, costly entries (the sorted copy of a table) before cheap
// ones (an item read again from an index file), instead of every new entry pushing out the
// one needed next (least recently used order alone then misses every time). An entry larger
// than the whole limit is not kept.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

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
  CriteriaValues,  // the criterion values of a project's criteria rows (facets::CriterionValues)
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
    Key key{kind, std::string(stamp), std::string(text)};
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t hash = KeyHash()(key);
    m_asked.Add(hash);
    auto it = m_index.find(key);
    if (it == m_index.end()) {
      ++m_counts.misses;
      Missed(hash);
      return nullptr;
    }
    m_lru.splice(m_lru.begin(), m_lru, it->second);
    ++m_counts.hits;
    return std::static_pointer_cast<const typename KeptType<kind>::type>(it->second->value);
  }

  // Keeps `value` of `bytes`; what it cost to make is the time since this thread's miss
  // of the same key (`costMicros` says it instead, for tests).
  template <Kept kind>
  void Put(std::string_view stamp, std::string_view text, std::shared_ptr<const typename KeptType<kind>::type> value,
           size_t bytes, std::optional<uint64_t> costMicros = std::nullopt) {
    Key key{kind, std::string(stamp), std::string(text)};
    bytes += key.stamp.size() + key.text.size() + kEntryOverhead;
    const size_t hash = KeyHash()(key);
    const uint64_t cost = std::max<uint64_t>(1, costMicros ? *costMicros : CostSinceMiss(hash));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bytes > m_limit) return;
    if (auto it = m_index.find(key); it != m_index.end()) {
      m_counts.bytes -= it->second->bytes;
      m_lru.erase(it->second);
      m_index.erase(it);
    }
    if (!Admits(hash, bytes, cost)) {
      ++m_counts.declined;
      return;
    }
    ++m_counts.stores;
    while (m_counts.bytes + bytes > m_limit && !m_lru.empty()) {
      m_counts.bytes -= m_lru.back().bytes;
      m_index.erase(m_lru.back().key);
      m_lru.pop_back();
      ++m_counts.evictions;
    }
    m_lru.push_front(Entry{key, std::static_pointer_cast<const void>(std::move(value)), bytes, cost, hash});
    m_index.emplace(std::move(key), m_lru.begin());
    m_counts.bytes += bytes;
  }

  struct Counts {
    size_t entries = 0, bytes = 0, limit = 0;
    int64_t hits = 0, misses = 0, evictions = 0, stores = 0;
    int64_t declined = 0;  // entries not kept: worth less than those they would push out
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
    uint64_t cost;  // microseconds it took to make
    size_t hash;    // KeyHash of key, for the frequency sketch (keys may be long texts)
  };

  // This thread's latest misses (cache, key hash, when), so that a Put of the same key
  // knows how long making the value took.
  struct Miss {
    const EngineCache* cache = nullptr;
    size_t hash = 0;
    std::chrono::steady_clock::time_point at;
  };
  static std::array<Miss, 64>& Misses() {
    thread_local std::array<Miss, 64> misses;
    return misses;
  }
  void Missed(size_t hash) const {
    Misses()[hash % 64] = Miss{this, hash, std::chrono::steady_clock::now()};
  }
  uint64_t CostSinceMiss(size_t hash) const {
    const Miss& miss = Misses()[hash % 64];
    if (miss.cache != this || miss.hash != hash) return 0;
    const auto took = std::chrono::steady_clock::now() - miss.at;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(took).count());
  }

  // How often each key was asked for lately: a count-min sketch (four rows of byte counters,
  // each key counted in one counter per row, read as the least of them), every counter
  // halved once as many asks as ten times a row's width have been counted, so that what was
  // asked for long ago (an old version's entries) stops outweighing what is asked for now.
  class Frequency {
   public:
    Frequency() : m_counters(kRows * kWidth, 0) {}
    void Add(size_t hash) {
      for (size_t row = 0; row < kRows; ++row) {
        uint8_t& counter = m_counters[row * kWidth + Slot(hash, row)];
        if (counter < UINT8_MAX) ++counter;
      }
      if (++m_added < 10 * kWidth) return;
      for (uint8_t& counter : m_counters) counter >>= 1;
      m_added = 0;
    }
    unsigned Estimate(size_t hash) const {
      unsigned least = UINT8_MAX;
      for (size_t row = 0; row < kRows; ++row) least = std::min<unsigned>(least, m_counters[row * kWidth + Slot(hash, row)]);
      return least;
    }

   private:
    static constexpr size_t kRows = 4, kWidth = size_t{1} << 14;
    static size_t Slot(size_t hash, size_t row) {
      uint64_t x = hash + (row + 1) * 0x9E3779B97F4A7C15ull;  // one mix per row (splitmix64's finalizer)
      x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
      x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
      return static_cast<size_t>(x ^ (x >> 31)) & (kWidth - 1);
    }
    std::vector<uint8_t> m_counters;
    size_t m_added = 0;
  };

  // Whether an entry (by its key's hash) of `bytes` that cost `cost` may push out the least
  // recently used entries it needs room from: only when it is worth more (asked for × cost)
  // than all of them together.
  bool Admits(size_t hash, size_t bytes, uint64_t cost) const {
    size_t room = m_limit - m_counts.bytes;
    if (room >= bytes) return true;
    const uint64_t worth = uint64_t{m_asked.Estimate(hash)} * cost;
    uint64_t pushedOut = 0;
    for (auto it = m_lru.rbegin(); it != m_lru.rend() && room < bytes; ++it) {
      pushedOut += uint64_t{m_asked.Estimate(it->hash)} * it->cost;
      if (pushedOut >= worth) return false;
      room += it->bytes;
    }
    return true;
  }
  mutable std::mutex m_mutex;
  std::list<Entry> m_lru;
  std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> m_index;
  size_t m_limit;
  Counts m_counts;
  Frequency m_asked;
};

}  // namespace mirel_platform
