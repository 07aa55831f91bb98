#include "index/Postings.h"

#include <algorithm>

namespace mirel_platform::facets {

namespace {

Roaring BitsOf(std::vector<uint32_t>& ordinals) {
  std::sort(ordinals.begin(), ordinals.end());
  ordinals.erase(std::unique(ordinals.begin(), ordinals.end()), ordinals.end());
  Roaring bits(ordinals.size(), ordinals.data());
  bits.runOptimize();
  bits.shrinkToFit();
  return bits;
}

}  // namespace

void Postings::TurnAround(uint32_t vehicles) {
  entryOf8.clear();
  entryOf16.clear();
  standardBits.clear();
  turnAroundTried = true;
  if (entries.empty() || entries.size() >= UINT16_MAX) return;
  std::vector<uint16_t> of(vehicles, 0);
  std::vector<uint64_t> standard((vehicles + 63) / 64, 0);
  // Each set's ordinals taken out in bulk: far faster than iterating a bit map one by one,
  // which made turning around most of the cost of reading an item.
  std::vector<uint32_t> ordinals;
  auto extract = [&](const Roaring& bits) {
    ordinals.resize(bits.cardinality());
    bits.toUint32Array(ordinals.data());
  };
  for (size_t k = 0; k < entries.size(); ++k) {
    const Entry& e = entries[k];
    extract(e.all);
    for (uint32_t ordinal : ordinals) {
      if (ordinal >= vehicles || of[ordinal] != 0) return;  // a vehicle with two entries
      of[ordinal] = static_cast<uint16_t>(k + 1);
    }
    if (!e.standardIsAll) extract(e.standard);
    for (uint32_t ordinal : ordinals) standard[ordinal / 64] |= uint64_t{1} << (ordinal % 64);
  }
  if (entries.size() < UINT8_MAX) entryOf8.assign(of.begin(), of.end());
  else entryOf16 = std::move(of);
  standardBits = std::move(standard);
}

size_t Postings::Bytes() const {
  size_t bytes = sizeof(*this) + entries.capacity() * sizeof(Entry) + entryOf8.capacity() + entryOf16.capacity() * sizeof(uint16_t) +
                 standardBits.capacity() * sizeof(uint64_t);
  for (const Entry& e : entries)
    bytes += e.value.capacity() + e.all.getSizeInBytes(false) + (e.standardIsAll ? 0 : e.standard.getSizeInBytes(false));
  return bytes;
}

bool PostingsBuilder::Add(bool locationNull, int64_t location, std::string_view value, double number, int64_t vehicle,
                          bool standard) {
  const std::optional<uint32_t> ordinal = m_universe->Ordinal(vehicle);
  if (!ordinal) return false;
  std::vector<Postings::Entry>& entries = m_postings.entries;
  if (entries.empty() || entries.back().locationNull != locationNull || entries.back().location != location ||
      entries.back().value != value) {
    Close();
    Postings::Entry entry;
    entry.locationNull = locationNull;
    entry.location = locationNull ? 0 : location;
    entry.value = std::string(value);
    entry.number = number;
    entries.push_back(std::move(entry));
  }
  m_all.push_back(*ordinal);
  if (standard) m_standard.push_back(*ordinal);
  return true;
}

void PostingsBuilder::Close() {
  if (m_postings.entries.empty()) return;
  Postings::Entry& entry = m_postings.entries.back();
  if (!entry.all.isEmpty() || m_all.empty()) return;  // closed already
  entry.all = BitsOf(m_all);
  Roaring standard = BitsOf(m_standard);
  if (standard == entry.all) {
    entry.standardIsAll = true;
  } else {
    entry.standard = std::move(standard);
  }
  m_all.clear();
  m_standard.clear();
}

Postings PostingsBuilder::Finish() {
  Close();
  m_postings.entries.shrink_to_fit();
  return std::move(m_postings);
}

}  // namespace mirel_platform::facets
