// Postings: for each item (schema id) of the specifications data, which vehicles carry each
// of its (location, value), on any row and on a standard row (option_id = 0), as bit maps
// of the universe's ordinals (Vehicles.h). Everything the faster forms need of `equipment`:
// a choice's vehicles are the union of the entries it names, a value is present among the
// matching vehicles when its entry meets their set, and it is counted by the size of the
// intersection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/Vehicles.h"

namespace mirel_platform::facets {

struct Postings {
  struct Entry {
    bool locationNull = false;  // such rows join no criterion row but belong to a level without location
    int64_t location = 0;
    std::string value;
    double number = 0;          // the value cast to a number, as the engine computes it
    Roaring all;
    Roaring standard;           // empty and `standardIsAll` when every carrier carries it as standard
    bool standardIsAll = false;

    const Roaring& Carriers(bool standardOnly) const { return standardOnly && !standardIsAll ? standard : all; }
  };
  std::vector<Entry> entries;  // ascending by (location NULL first, location, value)

  // The entries turned around, for items where no vehicle carries two of them (most items:
  // an origin, a power, a weight): each vehicle's entry (its index + 1; 0: none) and whether
  // it carries it on a standard row. Counting a few matching vehicles then costs a look-up
  // each instead of an intersection per entry. Empty for other items.
  // One byte a vehicle when the item has fewer than 255 entries (most items), else two.
  std::vector<uint8_t> entryOf8;
  std::vector<uint16_t> entryOf16;
  std::vector<uint64_t> standardBits;
  bool TurnedAround() const { return !entryOf8.empty() || !entryOf16.empty(); }
  size_t Vehicles() const { return entryOf8.empty() ? entryOf16.size() : entryOf8.size(); }
  // f(the entries per vehicle), whichever width they have.
  template <class F>
  decltype(auto) WithEntryOf(F&& f) const {
    return entryOf8.empty() ? f(entryOf16) : f(entryOf8);
  }
  bool turnAroundTried = false;  // TurnAround ran (or the index file said how it came out)
  bool StandardAt(uint32_t ordinal) const { return (standardBits[ordinal / 64] >> (ordinal % 64)) & 1; }
  // Builds entryOf and standardBits over a universe of `vehicles` when the item allows.
  void TurnAround(uint32_t vehicles);

  size_t Bytes() const;
};

// Builds an item's postings from its equipment rows, which come grouped by (location, value)
// in ascending order; the vehicle ids need not be ascending.
class PostingsBuilder {
 public:
  explicit PostingsBuilder(std::shared_ptr<const VehicleUniverse> universe) : m_universe(std::move(universe)) {}

  // Adds one row; false when the vehicle is not in the universe (the data changed under
  // the reader, or a vehicle id the universe was not made from).
  bool Add(bool locationNull, int64_t location, std::string_view value, double number, int64_t vehicle, bool standard);
  Postings Finish();

 private:
  void Close();

  std::shared_ptr<const VehicleUniverse> m_universe;
  Postings m_postings;
  std::vector<uint32_t> m_all, m_standard;  // the open entry's ordinals
};

}  // namespace mirel_platform::facets
