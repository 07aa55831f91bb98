// Vehicles: the vehicles of one version of the specifications data as ordinals, and sets of
// them as compressed bit maps.
//
// Vehicle ids may be any 64-bit integer (below zero, past 2^53, far apart). The universe is
// the ascending distinct ids of `equipment`; a vehicle's ordinal is its place there (0, 1,
// …), so that every set is a bit map over 0 … n-1 however the ids lie, and ascending
// ordinals are ascending ids. Sets are roaring bit maps (CRoaring): arrays where they are
// sparse, plain bits where they are dense, so that the set of 1,000,000 vehicles takes about
// 125 KB and counting a value against it is an AND and a population count.
//
// A set is immutable once made and shares its universe; sets of one text all belong to the
// universe of the version the text reads.
#pragma once

#include <roaring/roaring.hh>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace mirel_platform {

class VehicleUniverse {
 public:
  // REQUIRES: `ids` ascending without duplicates, fewer than 2^32.
  explicit VehicleUniverse(std::vector<int64_t> ids);
  // The `count` ids first, first + 1, … (REQUIRES: the last one fits in 64 bits).
  VehicleUniverse(int64_t first, uint32_t count) : m_contiguous(true), m_first(first), m_size(count) {}

  // The ordinal of `id`, or nothing when no equipment row names it.
  std::optional<uint32_t> Ordinal(int64_t id) const;
  int64_t Id(uint32_t ordinal) const { return m_contiguous ? m_first + ordinal : m_ids[ordinal]; }
  uint32_t Size() const { return m_size; }
  bool Contiguous() const { return m_contiguous; }
  size_t Bytes() const { return sizeof(*this) + m_ids.capacity() * sizeof(int64_t); }
  // The ids, ascending (materialised for a contiguous universe).
  std::vector<int64_t> Ids() const;

 private:
  // Ids that run without a gap are kept as their first and their count only.
  bool m_contiguous = false;
  int64_t m_first = 0;
  uint32_t m_size = 0;
  std::vector<int64_t> m_ids;  // when not contiguous
};

class VehicleSet {
 public:
  VehicleSet() = default;
  VehicleSet(std::shared_ptr<const VehicleUniverse> universe, Roaring bits)
      : m_universe(std::move(universe)), m_bits(std::move(bits)) {}

  // The set of `ids`, each of which must be in the universe (false when one is not).
  static std::optional<VehicleSet> FromIds(std::shared_ptr<const VehicleUniverse> universe,
                                           const std::vector<int64_t>& ids);
  static VehicleSet Intersect(const VehicleSet& a, const VehicleSet& b);
  static VehicleSet Union(std::shared_ptr<const VehicleUniverse> universe, const std::vector<const Roaring*>& parts);

  bool Contains(int64_t id) const;
  uint64_t Size() const { return m_bits.cardinality(); }
  bool Empty() const { return m_bits.isEmpty(); }
  // The ids, ascending.
  std::vector<int64_t> Ids() const;
  // The ordinals, ascending.
  std::vector<uint32_t> Ordinals() const;
  const Roaring& Bits() const { return m_bits; }
  const std::shared_ptr<const VehicleUniverse>& Universe() const { return m_universe; }
  size_t Bytes() const { return sizeof(*this) + m_bits.getSizeInBytes(false); }

 private:
  std::shared_ptr<const VehicleUniverse> m_universe;
  Roaring m_bits;
};

}  // namespace mirel_platform
