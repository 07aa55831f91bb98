#include "index/Vehicles.h"

#include <algorithm>

namespace mirel_platform {

VehicleUniverse::VehicleUniverse(std::vector<int64_t> ids) : m_size(static_cast<uint32_t>(ids.size())) {
  if (ids.empty()) {
    m_contiguous = true;
    return;
  }
  // The distance as an unsigned number: exact for any two 64-bit ids.
  const uint64_t distance = static_cast<uint64_t>(ids.back()) - static_cast<uint64_t>(ids.front());
  m_contiguous = distance == ids.size() - 1;
  m_first = ids.front();
  if (!m_contiguous) m_ids = std::move(ids);
}

std::optional<uint32_t> VehicleUniverse::Ordinal(int64_t id) const {
  if (m_contiguous) {
    if (m_size == 0 || id < m_first) return std::nullopt;
    const uint64_t offset = static_cast<uint64_t>(id) - static_cast<uint64_t>(m_first);
    if (offset >= m_size) return std::nullopt;
    return static_cast<uint32_t>(offset);
  }
  const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
  if (it == m_ids.end() || *it != id) return std::nullopt;
  return static_cast<uint32_t>(it - m_ids.begin());
}

std::vector<int64_t> VehicleUniverse::Ids() const {
  if (!m_contiguous) return m_ids;
  std::vector<int64_t> ids(m_size);
  for (uint32_t k = 0; k < m_size; ++k) ids[k] = m_first + k;
  return ids;
}

std::optional<VehicleSet> VehicleSet::FromIds(std::shared_ptr<const VehicleUniverse> universe,
                                              const std::vector<int64_t>& ids) {
  std::vector<uint32_t> ordinals;
  ordinals.reserve(ids.size());
  for (int64_t id : ids) {
    const std::optional<uint32_t> ordinal = universe->Ordinal(id);
    if (!ordinal) return std::nullopt;
    ordinals.push_back(*ordinal);
  }
  std::sort(ordinals.begin(), ordinals.end());
  Roaring bits(ordinals.size(), ordinals.data());
  bits.runOptimize();
  bits.shrinkToFit();
  return VehicleSet(std::move(universe), std::move(bits));
}

VehicleSet VehicleSet::Intersect(const VehicleSet& a, const VehicleSet& b) {
  Roaring bits = a.m_bits & b.m_bits;
  bits.shrinkToFit();
  return VehicleSet(a.m_universe ? a.m_universe : b.m_universe, std::move(bits));
}

VehicleSet VehicleSet::Union(std::shared_ptr<const VehicleUniverse> universe, const std::vector<const Roaring*>& parts) {
  if (parts.empty()) return VehicleSet(std::move(universe), Roaring());
  std::vector<const Roaring*> inputs(parts);
  Roaring bits = Roaring::fastunion(inputs.size(), inputs.data());
  bits.shrinkToFit();
  return VehicleSet(std::move(universe), std::move(bits));
}

bool VehicleSet::Contains(int64_t id) const {
  if (!m_universe) return false;
  const std::optional<uint32_t> ordinal = m_universe->Ordinal(id);
  return ordinal && m_bits.contains(*ordinal);
}

std::vector<uint32_t> VehicleSet::Ordinals() const {
  std::vector<uint32_t> ordinals(static_cast<size_t>(m_bits.cardinality()));
  m_bits.toUint32Array(ordinals.data());
  return ordinals;
}

std::vector<int64_t> VehicleSet::Ids() const {
  const std::vector<uint32_t> ordinals = Ordinals();
  std::vector<int64_t> ids(ordinals.size());
  for (size_t k = 0; k < ordinals.size(); ++k) ids[k] = m_universe->Id(ordinals[k]);
  return ids;
}

}  // namespace mirel_platform
