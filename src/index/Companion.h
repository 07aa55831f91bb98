// Companion index: the postings of every item and the vehicles of a specifications database,
// written once beside the database file (<folder>/<name>.sbfidx, by `sbf index` through
// mirel_base::WriteIndexFile) and read item by item when a text needs the item, so that a new process
// answers its first text without reading `equipment` for postings.
//
// A companion belongs to one version of its database: the engine describes the version it
// reads (its binding: for a SQLite file its size, time, header and a hash of pages spread
// over it), the companion keeps the binding it was written for, and one that differs is not
// used. Every part of the file carries a checksum (XXH3); a part that does not match, a file
// cut short or one of another format is not used either: the evaluator then builds what it
// needs from the database as if there were no companion. Parts are read with pread, never
// mapped, so that a file cut short or replaced in place while it is open gives an error, not
// a crash.
//
// Layout (little-endian):
//   header   "MIRELIDX", format version (u32), 0 (u32), meta offset (u64), meta length (u64),
//            meta checksum (u64), header checksum (u64) of the bytes before it
//   meta     binding (u32 length, bytes); universe (u64 count, u8 contiguous, then the first
//            id or every id as i64); the vehicles with a standard row (u32 length, roaring
//            portable bytes); items (u32 count, then per item ascending: schema id i64,
//            offset u64, length u64, checksum u64)
//   item     entries (u32 count), per entry: flags u8 (1 location NULL, 2 standard is all),
//            location i64, number f64, value (u32 length, bytes), all (u32 length, roaring
//            portable bytes), standard (the same, unless flag 2); then how the entries are
//            turned around: u8 0 not, 1 (u32 vehicles, entry per vehicle u8 × vehicles,
//            standardBits u64 × ⌈vehicles / 64⌉), 2 (the same with u16 entries)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "index/Postings.h"
#include "index/Vehicles.h"

namespace mirel_platform::facets {

class CompanionIndex {
 public:
  ~CompanionIndex();
  CompanionIndex(const CompanionIndex&) = delete;
  CompanionIndex& operator=(const CompanionIndex&) = delete;

  // The companion at `path` when it exists, is sound and was written for `binding`;
  // otherwise null, with the reason in `why` (empty when there is no file).
  static std::shared_ptr<const CompanionIndex> Open(const std::string& path, const std::string& binding,
                                                    std::string* why);

  const std::shared_ptr<const VehicleUniverse>& Universe() const { return m_universe; }
  const VehicleSet& StandardVehicles() const { return m_standard; }
  // The item's postings (empty when the item has no equipment row); nothing when its part
  // of the file is damaged.
  std::optional<Postings> ReadItem(int64_t schemaId) const;

 private:
  struct ItemRef {
    int64_t schemaId;
    uint64_t offset, length, checksum;
  };
  CompanionIndex() = default;
  bool Load(const std::string& binding, std::string* why);

  int m_fd = -1;
  uint64_t m_size = 0;
  std::shared_ptr<const VehicleUniverse> m_universe;
  VehicleSet m_standard;
  std::vector<ItemRef> m_items;
};

// The postings of an item part of a companion (its bytes after the checksum matched), over a
// universe of `universe` vehicles; nothing when they do not read as postings.
std::optional<Postings> ParseItem(std::string_view bytes, uint32_t universe);

// Writes a companion to `path` (through a file beside it, renamed over it when complete):
// the universe, the vehicles with a standard row, and each item's postings as `nextItem`
// gives them (false when there is no more; REQUIRES ascending schema ids). Raises
// std::runtime_error when the file cannot be written.
struct CompanionItem {
  int64_t schemaId = 0;
  Postings postings;
};
void WriteCompanion(const std::string& path, const std::string& binding, const VehicleUniverse& universe,
                    const VehicleSet& standardVehicles, const std::function<bool(CompanionItem&)>& nextItem);

}  // namespace mirel_platform::facets
