// VehicleSet: a set of vehicle ids, sorted, with an optional bit map for O(1) membership
// when the ids lie close together (as real vehicle ids do). Ids may be any 64-bit integer:
// distances between them are taken as unsigned 64-bit numbers, which never overflow, and a
// bit map is built only over a range it covers in at most one word per member.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mirel_platform {

class VehicleSet {
 public:
  VehicleSet() = default;
  // REQUIRES: `ids` sorted ascending without duplicates.
  explicit VehicleSet(std::vector<int64_t> ids) : m_ids(std::move(ids)) { BuildBits(); }

  static VehicleSet FromUnsorted(std::vector<int64_t> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return VehicleSet(std::move(ids));
  }

  // The union of sorted lists: through a bit map over their range when that is small
  // enough, else by sorting.
  static VehicleSet Union(const std::vector<const std::vector<int64_t>*>& lists) {
    size_t total = 0;
    int64_t low = INT64_MAX, high = INT64_MIN;
    for (const auto* list : lists) {
      if (list->empty()) continue;
      total += list->size();
      low = std::min(low, list->front());
      high = std::max(high, list->back());
    }
    if (total == 0) return VehicleSet();
    const uint64_t distance = Distance(low, high);  // the whole 64-bit range included
    if (distance / 64 > total) {
      std::vector<int64_t> ids;
      ids.reserve(total);
      for (const auto* list : lists) ids.insert(ids.end(), list->begin(), list->end());
      return FromUnsorted(std::move(ids));
    }
    std::vector<uint64_t> bits(static_cast<size_t>(distance / 64 + 1), 0);
    for (const auto* list : lists)
      for (int64_t id : *list) {
        const uint64_t offset = Distance(low, id);
        bits[offset / 64] |= uint64_t{1} << (offset % 64);
      }
    std::vector<int64_t> ids;
    ids.reserve(total);
    for (size_t w = 0; w < bits.size(); ++w)
      for (uint64_t word = bits[w]; word; word &= word - 1)
        ids.push_back(Offset(low, w * 64 + static_cast<uint64_t>(__builtin_ctzll(word))));
    VehicleSet set;
    set.m_ids = std::move(ids);
    if (set.m_ids.size() >= 64) {
      set.m_base = low;
      set.m_bits = std::move(bits);
    }
    return set;
  }

  static VehicleSet Intersect(const VehicleSet& a, const VehicleSet& b) {
    const VehicleSet& small = a.m_ids.size() <= b.m_ids.size() ? a : b;
    const VehicleSet& large = &small == &a ? b : a;
    std::vector<int64_t> out;
    out.reserve(small.m_ids.size());
    for (int64_t id : small.m_ids)
      if (large.Contains(id)) out.push_back(id);
    return VehicleSet(std::move(out));
  }

  bool Contains(int64_t id) const {
    if (!m_bits.empty()) {
      if (id < m_base) return false;
      const uint64_t offset = Distance(m_base, id);
      if (offset / 64 >= m_bits.size()) return false;
      return (m_bits[offset / 64] >> (offset % 64)) & 1;
    }
    return std::binary_search(m_ids.begin(), m_ids.end(), id);
  }

  const std::vector<int64_t>& Ids() const { return m_ids; }
  size_t Size() const { return m_ids.size(); }
  bool Empty() const { return m_ids.empty(); }
  size_t Bytes() const { return sizeof(*this) + m_ids.capacity() * sizeof(int64_t) + m_bits.capacity() * sizeof(uint64_t); }

 private:
  // How far `to` lies above `from` (from <= to), exact over the whole range of ids.
  static uint64_t Distance(int64_t from, int64_t to) { return static_cast<uint64_t>(to) - static_cast<uint64_t>(from); }
  static int64_t Offset(int64_t from, uint64_t distance) {
    return static_cast<int64_t>(static_cast<uint64_t>(from) + distance);
  }

  // A bit map over [first, last] when it costs at most 8 bytes per member (one bit per id
  // of the range), else binary search.
  void BuildBits() {
    if (m_ids.size() < 64) return;
    const uint64_t distance = Distance(m_ids.front(), m_ids.back());
    if (distance / 64 > m_ids.size()) return;
    m_base = m_ids.front();
    m_bits.assign(static_cast<size_t>(distance / 64 + 1), 0);
    for (int64_t id : m_ids) {
      const uint64_t offset = Distance(m_base, id);
      m_bits[offset / 64] |= uint64_t{1} << (offset % 64);
    }
  }

  std::vector<int64_t> m_ids;
  int64_t m_base = 0;
  std::vector<uint64_t> m_bits;
};

}  // namespace mirel_platform
